#pragma once
// The password of the mail account and the webhook's shared secret live in
// files of their own, read again before every delivery so that a changed
// one takes effect without a restart. Their text never reaches a log.

#include <string>

namespace talvexd {

// The first line of `path` without its line end. false, with a reason that
// names the file but holds none of its text, when it cannot be read, is
// empty, or can be read by every user of the system.
bool ReadSecretFile(const std::string& path, std::string* secret, std::string* error);

}  // namespace talvexd
