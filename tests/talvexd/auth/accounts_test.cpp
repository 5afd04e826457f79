// The accounts as `talvexd user` writes them and the service reads them:
// password hashes, the users file, the command and the reload on change.
// Each yescrypt hash costs tens of milliseconds, so few are made here.

#include "sim/SimTestSupport.h"
#include "talvexd/auth/Accounts.h"
#include "talvexd/auth/PasswordHash.h"
#include "talvexd/auth/UserCommand.h"
#include "talvexd/auth/UsersFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

using namespace talvexd;

namespace {

// Well-formed but never checked against.
constexpr char kHash[] = "$y$j9T$salt$digest";

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

std::string ReadText(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome User(const std::string& file, const std::vector<std::string>& args, const std::string& input = "")
{
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunUserCommand(file, args, in, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(PasswordHash, OnlyTheRightPasswordMatchesAndEveryHashHasItsOwnSalt)
{
    const std::string first = HashPassword("correct horse");
    const std::string second = HashPassword("correct horse");
    ASSERT_TRUE(first.starts_with("$y$")) << first;
    EXPECT_NE(first, second);
    EXPECT_TRUE(VerifyPassword("correct horse", first));
    EXPECT_FALSE(VerifyPassword("correct horsf", first));
    EXPECT_FALSE(VerifyPassword("correct horse", ""));
    EXPECT_EQ(HashPassword(std::string_view("cut\0here", 8)), "");
}

TEST(UsersFile, NamesFollowTheRules)
{
    for (const char* name : {"alice", "A.b_c-9", "_x", "abcdefghijklmnopqrstuvwxyz012345"})
        EXPECT_TRUE(ValidUserName(name)) << name;
    for (const char* name : {"", "-x", ".x", "a b", "a:b", "ü", "abcdefghijklmnopqrstuvwxyz0123456"})
        EXPECT_FALSE(ValidUserName(name)) << name;
}

TEST(UsersFile, AMalformedFileIsRefusedWithItsLine)
{
    simtest::TempDir dir;
    const std::string file = dir.File("users");
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"# accounts\n\nalice:viewer\n", ":3: expected NAME:ROLE:HASH"},
        {"alice:viewer:$y$a:b\n", ":1: expected NAME:ROLE:HASH"},
        {"alice:boss:$y$x\n", ":1: unknown role \"boss\" (viewer, operator or admin)"},
        {"-alice:viewer:$y$x\n", ":1: invalid user name \"-alice\""},
        {"alice:viewer:hunter2\n", ":1: the third field is not a password hash"},
        {"alice:viewer:$y$x\nbob:admin:$y$x\nalice:admin:$y$x\n", ":3: user \"alice\" is given twice"},
    };
    for (const auto& c : cases) {
        WriteText(file, c.text);
        std::vector<UserRecord> users{{"kept", Role::Admin, kHash}};
        std::string error;
        EXPECT_FALSE(LoadUsersFile(file, users, nullptr, &error)) << c.text;
        EXPECT_EQ(error, file + c.error);
        EXPECT_EQ(users.size(), 1u);
    }
}

TEST(UsersFile, SavedWholeAt0600AndReadBack)
{
    simtest::TempDir dir;
    const std::string file = dir.File("users");
    std::vector<UserRecord> users;
    bool missing = false;
    ASSERT_TRUE(LoadUsersFile(file, users, &missing));
    EXPECT_TRUE(missing);

    WriteText(file, "");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    // Root keeps someone else's file theirs, as the service's user owns it.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(file.c_str(), 4321, 4321), 0);
    }
    users = {{"alice", Role::Operator, kHash}, {"bob", Role::Viewer, "$y$other"}};
    std::string error;
    ASSERT_TRUE(SaveUsersFile(file, users, &error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(info.st_uid, 4321u);
    }
    EXPECT_TRUE(ReadText(file).starts_with("# "));

    std::vector<UserRecord> back;
    ASSERT_TRUE(LoadUsersFile(file, back, &missing, &error)) << error;
    EXPECT_FALSE(missing);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].name, "bob");
    EXPECT_EQ(back[1].role, Role::Viewer);
    EXPECT_EQ(back[1].hash, "$y$other");

    // What stands in the way stays as it was, and no temporary is left.
    const std::string taken = dir.File("taken");
    std::filesystem::create_directory(taken);
    WriteText(taken + "/inside", "x");
    EXPECT_FALSE(SaveUsersFile(taken, users, &error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"taken", "users"}));
    EXPECT_FALSE(SaveUsersFile(dir.File("absent/users"), users, &error));
    EXPECT_NE(error.find("absent"), std::string::npos) << error;
}

TEST(UserCommand, BadCommandsAreRefusedInOneLineAndWriteNothing)
{
    simtest::TempDir dir;
    const std::string file = dir.File("users");
    const struct {
        std::vector<std::string> args;
        const char* input;
        int status;
        const char* message;
    } cases[] = {
        {{}, "", 2, "usage: talvexd user "},
        {{"rename", "alice"}, "", 2, "usage: "},
        {{"add", "alice"}, "pw\n", 2, "usage: "},
        {{"add", "alice", "--role"}, "pw\n", 2, "usage: "},
        {{"add", "alice", "bob", "--role=admin"}, "pw\n", 2, "usage: "},
        {{"add", "alice", "--role", "admin", "--force"}, "pw\n", 2, "usage: "},
        {{"remove"}, "", 2, "usage: "},
        {{"list", "all"}, "", 2, "usage: "},
        {{"add", "alice", "--role", "root"}, "pw\n", 1, "talvexd: unknown role \"root\""},
        {{"add", ".alice", "--role", "admin"}, "pw\n", 1, "talvexd: invalid user name \".alice\""},
        {{"add", "alice", "--role=admin"}, "\n", 1, "talvexd: the password is empty"},
        {{"add", "alice", "--role=admin"}, "", 1, "talvexd: the password is empty"},
        {{"remove", "nobody"}, "", 1, "talvexd: no user \"nobody\" in "},
    };
    for (const auto& c : cases) {
        const Outcome outcome = User(file, c.args, c.input);
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_TRUE(outcome.err.starts_with(c.message)) << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(UserCommand, AddChangeAndListWithoutHashes)
{
    simtest::TempDir dir;
    const std::string file = dir.File("users");
    EXPECT_EQ(User(file, {"add", "bob", "--role=viewer"}, "first\n").err, "talvexd: user bob added (role viewer)\n");
    EXPECT_EQ(User(file, {"add", "alice", "--role", "admin"}, "second\n").status, 0);
    EXPECT_EQ(User(file, {"add", "bob", "--role", "operator"}, "third\n").err,
              "talvexd: user bob changed (role operator)\n");
    const Outcome list = User(file, {"list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "alice admin\nbob operator\n");
    EXPECT_EQ(list.out.find('$'), std::string::npos);
}

TEST(Accounts, FollowTheFileWithoutARestart)
{
    simtest::TempDir dir;
    const std::string file = dir.File("users");
    CAccounts accounts(file);
    EXPECT_TRUE(accounts.Load());
    EXPECT_EQ(accounts.RoleOf("alice"), std::nullopt);

    ASSERT_EQ(User(file, {"add", "alice", "--role", "operator"}, "s3cret\n").status, 0);
    EXPECT_EQ(accounts.Authenticate("alice", "s3cret"), Role::Operator);
    EXPECT_EQ(accounts.Authenticate("alice", "s3cret"), Role::Operator);  // remembered
    EXPECT_EQ(accounts.Authenticate("alice", "s3cre"), std::nullopt);

    // A broken edit keeps the accounts read before and is reported once.
    const std::string good = ReadText(file);
    WriteText(file, good + "broken\n");
    std::ostringstream log;
    std::streambuf* const stderrBuffer = std::cerr.rdbuf(log.rdbuf());
    const auto kept = accounts.RoleOf("alice");
    accounts.RoleOf("alice");
    std::cerr.rdbuf(stderrBuffer);
    EXPECT_EQ(kept, Role::Operator);
    EXPECT_EQ(log.str(), "talvexd: " + file + ":3: expected NAME:ROLE:HASH\n");
    std::string error;
    EXPECT_FALSE(accounts.Load(&error));
    EXPECT_EQ(error, file + ":3: expected NAME:ROLE:HASH");
    WriteText(file, good);

    ASSERT_EQ(User(file, {"remove", "alice"}).err, "talvexd: user alice removed\n");
    EXPECT_EQ(accounts.RoleOf("alice"), std::nullopt);
    EXPECT_EQ(accounts.Authenticate("alice", "s3cret"), std::nullopt);
}
