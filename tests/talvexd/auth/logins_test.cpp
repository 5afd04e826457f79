// Failed-login limits and web sessions, with the time passed in.

#include "sim/SimTestSupport.h"
#include "talvexd/auth/LoginGuard.h"
#include "talvexd/auth/Sessions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include <sys/stat.h>

using namespace talvexd;
using namespace std::chrono_literals;

namespace {

const auto kStart = std::chrono::steady_clock::time_point{} + 100h;

}  // namespace

TEST(LoginGuard, TheFifthFailureWithinAMinuteShutsTheAddressOutForAMinute)
{
    CLoginGuard guard;
    for (int i = 0; i < 4; ++i)
        guard.Failed("192.0.2.1", kStart + i * 1s);
    EXPECT_FALSE(guard.Blocked("192.0.2.1", kStart + 4s));
    guard.Failed("192.0.2.1", kStart + 4s);
    EXPECT_TRUE(guard.Blocked("192.0.2.1", kStart + 5s));
    EXPECT_FALSE(guard.Blocked("192.0.2.2", kStart + 5s));
    EXPECT_FALSE(guard.Blocked("192.0.2.1", kStart + 4s + CLoginGuard::kLockout));

    // Failures spread wider than the window never add up to five.
    for (int i = 0; i < 10; ++i)
        guard.Failed("192.0.2.3", kStart + i * 15s);
    EXPECT_FALSE(guard.Blocked("192.0.2.3", kStart + 140s));

    // A success starts the count again.
    for (int i = 0; i < 4; ++i)
        guard.Failed("192.0.2.4", kStart);
    guard.Succeeded("192.0.2.4");
    guard.Failed("192.0.2.4", kStart);
    EXPECT_FALSE(guard.Blocked("192.0.2.4", kStart + 1s));
}

TEST(Sessions, LiveWhileUsedUntilEndedOrIdle)
{
    CSessions sessions;
    const std::string token = sessions.Create("alice", kStart);
    EXPECT_EQ(token.size(), 64u);
    EXPECT_TRUE(std::all_of(token.begin(), token.end(),
                            [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }));
    EXPECT_NE(sessions.Create("alice", kStart), token);

    EXPECT_EQ(sessions.Find(token, kStart + 11h), "alice");
    EXPECT_EQ(sessions.Find(token, kStart + 22h), "alice");  // the use before kept it alive
    EXPECT_EQ(sessions.Find(token, kStart + 34h), std::nullopt);
    EXPECT_EQ(sessions.Find(token, kStart + 34h - 1s), std::nullopt);  // gone for good

    const std::string other = sessions.Create("bob", kStart);
    sessions.End(other);
    EXPECT_EQ(sessions.Find(other, kStart), std::nullopt);
    EXPECT_EQ(sessions.Find("", kStart), std::nullopt);
}

TEST(Sessions, TheLeastRecentlyUsedGivesWayBeyondTheLimit)
{
    CSessions sessions;
    const std::string first = sessions.Create("first", kStart);
    const std::string second = sessions.Create("second", kStart + 1s);
    sessions.Find(first, kStart + 2s);
    for (std::size_t i = 2; i < CSessions::kMaxSessions; ++i)
        sessions.Create("user", kStart + 3s);
    sessions.Create("one more", kStart + 4s);
    EXPECT_EQ(sessions.Find(first, kStart + 5s), "first");
    EXPECT_EQ(sessions.Find(second, kStart + 5s), std::nullopt);
}

TEST(Sessions, OutliveARestartInTheirFileWhichHoldsNoToken)
{
    simtest::TempDir dir;
    const std::string file = dir.File("sessions");
    const auto now = CSessions::Clock::now();
    std::string kept;
    std::string ended;
    {
        CSessions sessions(file);
        std::string error;
        ASSERT_TRUE(sessions.Load(&error)) << "no file yet is no error";
        kept = sessions.Create("alice", now);
        ended = sessions.Create("bob", now);
        sessions.End(ended);
    }
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text.find(kept), std::string::npos);
    std::ofstream(file, std::ios::app) << "not a session\n";

    CSessions restarted(file);
    std::string error;
    EXPECT_FALSE(restarted.Load(&error));
    EXPECT_NE(error.find("1 lines are not sessions"), std::string::npos) << error;
    EXPECT_EQ(restarted.Find(kept, now + 1s), "alice");
    EXPECT_EQ(restarted.Find(ended, now + 1s), std::nullopt);
    EXPECT_EQ(restarted.Find(kept, now + CSessions::kIdleLimit + 2s), std::nullopt) << "still idle-limited";
}
