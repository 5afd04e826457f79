#include "Role.h"

namespace talvexd {

const char* RoleName(Role role)
{
    switch (role) {
    case Role::Viewer: return "viewer";
    case Role::Operator: return "operator";
    case Role::Admin: return "admin";
    }
    return "viewer";
}

std::optional<Role> ParseRole(std::string_view name)
{
    for (Role role : {Role::Viewer, Role::Operator, Role::Admin}) {
        if (name == RoleName(role))
            return role;
    }
    return std::nullopt;
}

}  // namespace talvexd
