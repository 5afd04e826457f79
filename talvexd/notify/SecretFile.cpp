#include "SecretFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include <sys/stat.h>

namespace talvexd {

bool ReadSecretFile(const std::string& path, std::string* secret, std::string* error)
{
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        *error = (path.empty() ? std::string("no file named") : path + ": " + std::strerror(errno));
        return false;
    }
    // Group-readable stays allowed, for a file owned by root and the
    // service's group.
    if ((info.st_mode & S_IRWXO) != 0) {
        *error = path + ": readable or writable by every user; allow only the service (chmod 600 or 640)";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        *error = path + ": cannot be read or is empty";
        return false;
    }
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    if (line.empty()) {
        *error = path + ": the first line is empty";
        return false;
    }
    *secret = std::move(line);
    return true;
}

}  // namespace talvexd
