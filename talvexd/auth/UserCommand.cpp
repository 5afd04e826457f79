#include "UserCommand.h"

#include "PasswordHash.h"
#include "UsersFile.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include <termios.h>
#include <unistd.h>

namespace talvexd {
namespace {

constexpr char kUsage[] = "usage: talvexd user add NAME --role viewer|operator|admin | remove NAME | list";

int Usage(std::ostream& err)
{
    err << kUsage << '\n';
    return 2;
}

int Failed(std::ostream& err, const std::string& reason)
{
    err << "talvexd: " << reason << '\n';
    return 1;
}

// A password for as long as the command runs, wiped when it ends.
class Secret
{
public:
    // Room enough that reading a line leaves no copy behind in a freed buffer.
    Secret() { m_text.reserve(256); }
    ~Secret() { Wipe(); }
    std::string& Text() { return m_text; }
    void Wipe() { OPENSSL_cleanse(m_text.data(), m_text.size()); }

private:
    std::string m_text;
};

// One line typed at the terminal without echo.
bool ReadHidden(const char* prompt, std::ostream& err, Secret& secret)
{
    err << prompt << std::flush;
    termios saved{};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    const bool got = static_cast<bool>(std::getline(std::cin, secret.Text()));
    if (quiet)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    err << '\n';  // the Enter was not echoed either
    return got;
}

// The new password, typed twice at a terminal or one line from `in`;
// false after the reason was written to `err`.
bool ReadPassword(std::istream& in, std::ostream& err, Secret& password)
{
    if (&in == &std::cin && ::isatty(STDIN_FILENO)) {
        Secret again;
        if (!ReadHidden("Password: ", err, password) || !ReadHidden("Again: ", err, again)) {
            err << "talvexd: no password given\n";
            return false;
        }
        if (password.Text() != again.Text()) {
            err << "talvexd: the passwords do not match\n";
            return false;
        }
    } else {
        std::getline(in, password.Text());
    }
    if (password.Text().empty()) {
        err << "talvexd: the password is empty\n";
        return false;
    }
    return true;
}

bool Load(const std::string& usersFile, std::vector<UserRecord>& users, std::ostream& err)
{
    std::string error;
    if (LoadUsersFile(usersFile, users, nullptr, &error))
        return true;
    err << "talvexd: " << error << '\n';
    return false;
}

int Add(const std::string& usersFile, const std::vector<std::string>& args, std::istream& in, std::ostream& err)
{
    std::optional<std::string> name;
    std::optional<std::string> roleName;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--role" && i + 1 < args.size() && !roleName)
            roleName = args[++i];
        else if (arg.starts_with("--role=") && !roleName)
            roleName = arg.substr(7);
        else if (!arg.starts_with("--") && !name)
            name = arg;
        else
            return Usage(err);
    }
    if (!name || !roleName)
        return Usage(err);
    if (!ValidUserName(*name))
        return Failed(err,
                      "invalid user name \"" + *name + "\" (1 to 32 of A-Z a-z 0-9 . _ -, not starting with - or .)");
    const std::optional<Role> role = ParseRole(*roleName);
    if (!role)
        return Failed(err, "unknown role \"" + *roleName + "\" (viewer, operator or admin)");

    // Read before the password is asked for: a broken file is found out
    // without typing anything.
    std::vector<UserRecord> users;
    if (!Load(usersFile, users, err))
        return 1;
    Secret password;
    if (!ReadPassword(in, err, password))
        return 1;
    std::string hash = HashPassword(password.Text());
    password.Wipe();
    if (hash.empty())
        return Failed(err, "cannot hash the password (does it hold a NUL byte?)");

    const auto existing =
        std::find_if(users.begin(), users.end(), [&](const UserRecord& u) { return u.name == *name; });
    const bool changed = existing != users.end();
    if (changed)
        *existing = {*name, *role, std::move(hash)};
    else
        users.push_back({*name, *role, std::move(hash)});
    std::string error;
    if (!SaveUsersFile(usersFile, users, &error))
        return Failed(err, error);
    err << "talvexd: user " << *name << (changed ? " changed" : " added") << " (role " << RoleName(*role) << ")\n";
    return 0;
}

int Remove(const std::string& usersFile, const std::string& name, std::ostream& err)
{
    std::vector<UserRecord> users;
    if (!Load(usersFile, users, err))
        return 1;
    const auto removed =
        std::remove_if(users.begin(), users.end(), [&](const UserRecord& u) { return u.name == name; });
    if (removed == users.end())
        return Failed(err, "no user \"" + name + "\" in " + usersFile);
    users.erase(removed, users.end());
    std::string error;
    if (!SaveUsersFile(usersFile, users, &error))
        return Failed(err, error);
    err << "talvexd: user " << name << " removed\n";
    return 0;
}

int List(const std::string& usersFile, std::ostream& out, std::ostream& err)
{
    std::vector<UserRecord> users;
    if (!Load(usersFile, users, err))
        return 1;
    std::sort(users.begin(), users.end(), [](const UserRecord& a, const UserRecord& b) { return a.name < b.name; });
    for (const UserRecord& user : users)
        out << user.name << ' ' << RoleName(user.role) << '\n';
    return 0;
}

}  // namespace

int RunUserCommand(const std::string& usersFile, const std::vector<std::string>& args, std::istream& in,
                   std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return Usage(err);
    const std::string& verb = args[0];
    if (verb == "add")
        return Add(usersFile, args, in, err);
    if (verb == "remove" && args.size() == 2 && !args[1].starts_with("--"))
        return Remove(usersFile, args[1], err);
    if (verb == "list" && args.size() == 1)
        return List(usersFile, out, err);
    return Usage(err);
}

}  // namespace talvexd
