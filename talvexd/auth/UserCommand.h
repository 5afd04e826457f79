#pragma once
// `talvexd user add NAME --role ROLE | remove NAME | list`: the accounts are
// managed on the machine itself. `add` reads the password from `in` (without
// echo when it is a terminal); it never reaches a file, a log or `out`.

#include <iosfwd>
#include <string>
#include <vector>

namespace talvexd {

// `args` are the words after "user". Returns the exit status: 0 done,
// 1 failed (the reason on `err`), 2 a usage error.
int RunUserCommand(const std::string& usersFile, const std::vector<std::string>& args, std::istream& in,
                   std::ostream& out, std::ostream& err);

}  // namespace talvexd
