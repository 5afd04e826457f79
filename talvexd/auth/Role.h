#pragma once
// What an account may do. Each role may do everything the one before it may.

#include <optional>
#include <string_view>

namespace talvexd {

enum class Role {
    Viewer,    // reads
    Operator,  // also changes settings and acknowledges alarms
    Admin,     // also changes the protection points and the schedule
};

// "viewer", "operator", "admin".
const char* RoleName(Role role);
std::optional<Role> ParseRole(std::string_view name);
// `role` may do what `needed` may.
constexpr bool Allows(Role role, Role needed) { return static_cast<int>(role) >= static_cast<int>(needed); }

}  // namespace talvexd
