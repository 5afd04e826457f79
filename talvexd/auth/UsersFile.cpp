#include "UsersFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvexd {
namespace {

// The system user the service runs as; a file root makes goes to it.
constexpr char kServiceUser[] = "talvex";
constexpr std::size_t kMaxNameLength = 32;
constexpr char kHeader[] = "# talvexd accounts, one a line: NAME:ROLE:HASH. Change them with `talvexd user`.\n";

void SetError(std::string* error, std::string text)
{
    if (error != nullptr)
        *error = std::move(text);
}

std::string SystemError(const std::string& what, const std::string& path)
{
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// Closes the descriptor on every path out.
class FileHandle
{
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Get() const { return m_fd; }
    // The result of close(2): a delayed write error shows up here.
    bool Close()
    {
        const bool ok = m_fd < 0 || ::close(m_fd) == 0;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd = -1;
};

bool ReadAll(int fd, std::string& text)
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof(buffer));
        if (count == 0)
            return true;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t\r") == std::string_view::npos; }

// The reason `line` is not an account, or "" with `record` filled.
std::string ParseLine(std::string_view line, UserRecord& record)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos || line.find(':', second + 1) != std::string_view::npos)
        return "expected NAME:ROLE:HASH";
    const std::string_view name = line.substr(0, first);
    const std::string_view role = line.substr(first + 1, second - first - 1);
    const std::string_view hash = line.substr(second + 1);
    if (!ValidUserName(name))
        return "invalid user name \"" + std::string(name) + "\"";
    const auto parsed = ParseRole(role);
    if (!parsed)
        return "unknown role \"" + std::string(role) + "\" (viewer, operator or admin)";
    // Every crypt(3) hash this service makes starts with "$"; anything else
    // is most likely a password pasted in by hand.
    if (hash.size() < 2 || hash.front() != '$')
        return "the third field is not a password hash";
    record = {std::string(name), *parsed, std::string(hash)};
    return {};
}

// The folder `path` is in, for the temporary file and the sync.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Who a new file goes to: the service's user when root makes it.
bool ServiceOwner(uid_t& uid, gid_t& gid)
{
    if (::geteuid() != 0)
        return false;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwnam_r(kServiceUser, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return false;
    uid = entry.pw_uid;
    gid = entry.pw_gid;
    return true;
}

std::string Serialise(const std::vector<UserRecord>& users)
{
    std::string text = kHeader;
    for (const UserRecord& user : users)
        text += user.name + ":" + RoleName(user.role) + ":" + user.hash + "\n";
    return text;
}

}  // namespace

bool ValidUserName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxNameLength || name.front() == '-' || name.front() == '.')
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
               c == '-';
    });
}

bool LoadUsersFile(const std::string& path, std::vector<UserRecord>& users, bool* missing, std::string* error)
{
    if (missing != nullptr)
        *missing = false;
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        if (errno == ENOENT) {
            users.clear();
            if (missing != nullptr)
                *missing = true;
            return true;
        }
        SetError(error, SystemError("read", path));
        return false;
    }
    std::string text;
    if (!ReadAll(file.Get(), text)) {
        SetError(error, SystemError("read", path));
        return false;
    }

    std::vector<UserRecord> read;
    std::set<std::string> names;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        if (IsBlank(line) || line.front() == '#')
            continue;
        UserRecord record;
        std::string reason = ParseLine(line, record);
        if (reason.empty() && !names.insert(record.name).second)
            reason = "user \"" + record.name + "\" is given twice";
        if (!reason.empty()) {
            SetError(error, path + ":" + std::to_string(lineNumber) + ": " + reason);
            return false;
        }
        read.push_back(std::move(record));
    }
    users = std::move(read);
    return true;
}

bool SaveUsersFile(const std::string& path, const std::vector<UserRecord>& users, std::string* error)
{
    const std::string folder = FolderOf(path);
    const std::size_t slash = path.rfind('/');
    std::string temporary = folder + "/." + (slash == std::string::npos ? path : path.substr(slash + 1)) + ".XXXXXX";

    // mkostemp creates with O_EXCL and mode 0600.
    FileHandle file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.Get() < 0) {
        SetError(error, SystemError("create a file in", folder));
        return false;
    }
    const auto fail = [&](const std::string& what) {
        SetError(error, SystemError(what, path));
        file.Close();
        ::unlink(temporary.c_str());
        return false;
    };

    struct stat existing {};
    uid_t uid = 0;
    gid_t gid = 0;
    if (::stat(path.c_str(), &existing) == 0) {
        if (::fchown(file.Get(), existing.st_uid, existing.st_gid) != 0)
            return fail("keep the owner of");
    } else if (errno != ENOENT) {
        return fail("look at");
    } else if (ServiceOwner(uid, gid) && ::fchown(file.Get(), uid, gid) != 0) {
        return fail("give to user talvex");
    }
    // Whatever the umask or the old file's mode was.
    if (::fchmod(file.Get(), S_IRUSR | S_IWUSR) != 0)
        return fail("set the mode of");
    if (!WriteAll(file.Get(), Serialise(users)) || ::fsync(file.Get()) != 0 || !file.Close())
        return fail("write");
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return fail("replace");

    // The rename is durable only once the folder is; the file is in place
    // either way, so a folder that cannot be synced does not fail the save.
    FileHandle directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0)
        ::fsync(directory.Get());
    return true;
}

}  // namespace talvexd
