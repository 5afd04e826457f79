#pragma once
// Password hashes as the users file keeps them: salted yescrypt in the
// crypt(3) format ("$y$..."), made and checked by libxcrypt.

#include <string>
#include <string_view>

namespace talvexd {

// A new hash with a fresh random salt; "" when libxcrypt cannot make one or
// the password holds a NUL byte (crypt(3) would cut it there).
std::string HashPassword(std::string_view password);
// `password` hashes to `hash` under the salt and cost `hash` carries. The
// comparison takes the same time wherever the two differ.
bool VerifyPassword(std::string_view password, const std::string& hash);

}  // namespace talvexd
