#pragma once
// The accounts the service knows, from its users file. Safe to use from
// every request thread. The file is read again whenever it changed on disk,
// so `talvexd user add` takes effect without a restart.

#include "Role.h"

#include <optional>
#include <string>

namespace talvexd {

class CAccounts
{
public:
    explicit CAccounts(std::string usersFile);
    ~CAccounts();
    CAccounts(const CAccounts&) = delete;
    CAccounts& operator=(const CAccounts&) = delete;

    // Reads the file now. A missing file is no accounts (true); a malformed
    // one is false with "FILE:LINE: reason" in `error`, and the accounts
    // read before stay.
    bool Load(std::string* error = nullptr);
    // The role of `name` when `password` is its password. A correct pair is
    // remembered for a few minutes (as a keyed digest, never the password),
    // so that a script's Basic authentication on every request does not pay
    // the slow hash each time.
    std::optional<Role> Authenticate(const std::string& name, const std::string& password);
    // The role `name` has now; nullopt once it was removed.
    std::optional<Role> RoleOf(const std::string& name);

private:
    struct State;
    State* m_state = nullptr;
};

}  // namespace talvexd
