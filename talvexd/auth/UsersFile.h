#pragma once
// The users file: one account a line, "NAME:ROLE:HASH", with '#' comments
// and blank lines. It holds password hashes, so it is kept at mode 0600 and
// only ever replaced whole.

#include "Role.h"

#include <string>
#include <string_view>
#include <vector>

namespace talvexd {

struct UserRecord {
    std::string name;
    Role role = Role::Viewer;
    std::string hash;  // crypt(3) format
};

// 1 to 32 of [A-Za-z0-9._-], not starting with '-' or '.'.
bool ValidUserName(std::string_view name);

// Reads `path` into `users`. A missing file is no accounts (true, with
// `*missing` set); a malformed line or a name given twice is false with
// "PATH:LINE: reason" in `error`, and `users` unchanged.
bool LoadUsersFile(const std::string& path, std::vector<UserRecord>& users, bool* missing = nullptr,
                   std::string* error = nullptr);
// Replaces `path` with `users` in one step: readers see the old file or the
// new one, never a part. The owner of a file that was there is kept; a new
// one made by root goes to the service's user "talvex" when it exists. On
// failure the old file is untouched and `error` says why in one line.
bool SaveUsersFile(const std::string& path, const std::vector<UserRecord>& users, std::string* error = nullptr);

}  // namespace talvexd
