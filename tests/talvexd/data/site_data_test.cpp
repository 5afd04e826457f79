// The event log and the readings history on a real SQLite file: buckets,
// thinning and units, the log's filters, retention, a database at its size
// cap, and kills at random moments.

#include "sim/SimTestSupport.h"
#include "support/Child.h"
#include "talvexd/data/SiteData.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvexd;
using namespace std::chrono_literals;

namespace {

using Days = std::chrono::duration<int, std::ratio<86400>>;

// Now, to the minute, less an hour: every step of the tests starts on one.
const WallClock::time_point kBase = std::chrono::floor<std::chrono::minutes>(WallClock::now()) - 1h;

SiteStatus Status(WallClock::time_point at, int forwardPower, bool up = true)
{
    SiteStatus status;
    status.linkUp = up;
    status.readAt = at;
    status.forwardPower = forwardPower;
    status.temperature = 20 + forwardPower / 10;
    status.frequency = 981;
    return status;
}

std::int64_t Count(CDatabase& db, const std::string& sql)
{
    CStatement statement(db, sql);
    return statement.Step() ? statement.Int(0) : -1;
}

class SiteDataTest : public ::testing::Test
{
protected:
    void Open(CSiteData::Options options = {})
    {
        options.directory = m_dir.Path();
        options.retryPause = 50ms;
        options.report = [this](const std::string& text) {
            std::lock_guard lock(m_reportsLock);
            m_reports += text + "\n";
        };
        std::string error;
        ASSERT_TRUE(m_data.Open(options, &error)) << error;
    }
    std::string Reports()
    {
        std::lock_guard lock(m_reportsLock);
        return m_reports;
    }

    simtest::TempDir m_dir;
    std::mutex m_reportsLock;
    std::string m_reports;
    CSiteData m_data;  // last, so that its thread stops before the reports go
};

TEST_F(SiteDataTest, HistoryBucketsThinnedInTheStatusUnits)
{
    Open();
    // A status cycle every 5 s for two minutes: one row per 10 s is kept;
    // the link is down at 20 s, so 25 s fills that interval.
    for (int i = 0; i < 24; ++i)
        m_data.AddReadings(Status(kBase + i * 5s, i * 10, i != 4));
    m_data.AddReadings(Status(kBase + 1s, 999));  // older than the last row
    ASSERT_TRUE(m_data.Flush(5s));
    struct Row {
        Reading reading;
        std::chrono::seconds from, step;
        std::vector<HistoryBucket> expected;  // start as an offset from kBase
    };
    const auto at = [](int seconds) { return kBase + std::chrono::seconds(seconds); };
    const Row rows[] = {
        {Reading::ForwardPower, 0s, 60s, {{at(0), 0, 10, 31 / 6.0, 6}, {at(60), 12, 22, 17, 6}}},
        {Reading::ForwardPower, -60s, 60s, {{at(0), 0, 10, 31 / 6.0, 6}, {at(60), 12, 22, 17, 6}}},
        {Reading::Temperature, 0s, 120s, {{at(0), 20, 42, 20 + 133 / 12.0, 12}}},
        {Reading::Frequency, 30s, 45s, {{at(30), 98.1, 98.1, 98.1, 5}, {at(75), 98.1, 98.1, 98.1, 4}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(ReadingName(row.reading));
        const auto buckets = m_data.QueryHistory(row.reading, kBase + row.from, kBase + 120s, row.step);
        ASSERT_EQ(buckets.size(), row.expected.size());
        for (std::size_t i = 0; i < buckets.size(); ++i) {
            EXPECT_EQ(buckets[i].start, row.expected[i].start) << i;
            EXPECT_DOUBLE_EQ(buckets[i].min, row.expected[i].min) << i;
            EXPECT_DOUBLE_EQ(buckets[i].max, row.expected[i].max) << i;
            EXPECT_NEAR(buckets[i].mean, row.expected[i].mean, 1e-9) << i;
            EXPECT_EQ(buckets[i].count, row.expected[i].count) << i;
        }
    }
}

TEST_F(SiteDataTest, LogNewestFirstBySinceKindAndLimit)
{
    Open();
    const EventKind kinds[] = {EventKind::Service, EventKind::Link, EventKind::Change, EventKind::Link};
    for (int i = 0; i < 4; ++i)
        m_data.Record({kBase + i * 1s, kinds[i], i == 2 ? "ann" : "", "e" + std::to_string(i)});
    ASSERT_TRUE(m_data.Flush(5s));
    struct Row {
        std::optional<WallClock::time_point> since;
        std::optional<EventKind> kind;
        int limit;
        std::vector<std::string> texts;
    };
    const Row rows[] = {
        {std::nullopt, std::nullopt, 100, {"e3", "e2", "e1", "e0"}},
        {kBase + 1s, std::nullopt, 100, {"e3", "e2", "e1"}},
        {std::nullopt, EventKind::Link, 100, {"e3", "e1"}},
        {kBase + 2s, EventKind::Link, 100, {"e3"}},
        {std::nullopt, std::nullopt, 2, {"e3", "e2"}},
        {std::nullopt, EventKind::AlarmRaised, 100, {}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> texts;
        for (const LogRow& logged : m_data.QueryLog(row.since, row.kind, row.limit))
            texts.push_back(logged.text);
        EXPECT_EQ(texts, row.texts);
    }
    const auto change = m_data.QueryLog(std::nullopt, EventKind::Change, 1).at(0);
    EXPECT_EQ(change.user, "ann");
    EXPECT_EQ(change.at, kBase + 2s);
}

TEST_F(SiteDataTest, RowsPastTheirKeepingGoAtOpen)
{
    Open();
    const auto now = WallClock::now();
    m_data.Record({now - Days(400), EventKind::Service, "", "old"});
    m_data.Record({now - Days(10), EventKind::Service, "", "kept"});
    m_data.AddReadings(Status(now - Days(31), 10));
    m_data.AddReadings(Status(now - Days(1), 20));
    ASSERT_TRUE(m_data.Flush(5s));
    m_data.Close();
    m_data.Close();  // twice is fine
    Open();
    const auto log = m_data.QueryLog(std::nullopt, std::nullopt, 10);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, "kept");
    const auto history = m_data.QueryHistory(Reading::ForwardPower, now - Days(40), now, 86400s);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].max, 2.0);
}

TEST_F(SiteDataTest, AtItsCapEventsWaitInMemoryUntilThereIsRoom)
{
    CSiteData::Options options;
    options.maxSizeMb = 1;
    Open(options);
    const std::string padding(2000, 'x');
    const auto record = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            m_data.Record({WallClock::now(), EventKind::Change, "", std::to_string(i) + padding});
    };
    record(0, 400);  // about 800 KB of the 1 MB
    ASSERT_TRUE(m_data.Flush(10s));
    record(400, 600);
    ASSERT_TRUE(nettest::WaitFor([&] { return m_data.CurrentHealth().full; }, 10s));
    EXPECT_FALSE(m_data.Flush(200ms));
    EXPECT_GT(m_data.CurrentHealth().waiting, 0u);
    EXPECT_EQ(m_data.CurrentHealth().writeFailures, 0u);

    CDatabase db;  // room made by someone else
    ASSERT_TRUE(db.Open(m_dir.File(kDatabaseFile), nullptr));
    ASSERT_TRUE(db.Exec("DELETE FROM events WHERE id <= 300"));
    ASSERT_TRUE(m_data.Flush(10s));
    EXPECT_FALSE(m_data.CurrentHealth().full);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM events"), 300);
    EXPECT_EQ(Count(db, "SELECT MIN(CAST(text AS INTEGER)) FROM events"), 300);
    EXPECT_EQ(Count(db, "SELECT MAX(CAST(text AS INTEGER)) FROM events"), 599);
    const std::string reports = Reports();
    EXPECT_NE(reports.find("disk is full"), std::string::npos) << reports;
    EXPECT_EQ(reports.find("disk is full"), reports.rfind("disk is full")) << "said once: " << reports;
    EXPECT_NE(reports.find("writing again"), std::string::npos) << reports;
}

// A child writes as fast as it can and says through a pipe what it has
// seen committed; it is killed without warning at random moments.
TEST(SiteDataCrash, KilledAtRandomTheFileIsWholeWithWhatWasCommitted)
{
    simtest::TempDir dir;
    const unsigned seed = std::random_device()();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int round = 0; round < 5; ++round) {
        const auto base = WallClock::now() - Days(2) + round * 1000000s;
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(fds[0]);
            CSiteData data;
            CSiteData::Options options;
            options.directory = dir.Path();
            options.historyInterval = 1s;
            if (!data.Open(options, nullptr))
                ::_exit(1);
            for (std::int64_t i = 0;; ++i) {
                data.Record({WallClock::now(), EventKind::Service, std::to_string(round), std::to_string(i)});
                data.AddReadings(Status(base + std::chrono::seconds(i), 1));
                if (i % 20 == 19 && data.Flush(10s) && ::write(fds[1], &i, sizeof i) != sizeof i)
                    ::_exit(1);
            }
        }
        ::close(fds[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution(50, 400)(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
        std::int64_t committed = -1;
        for (std::int64_t i = 0; ::read(fds[0], &i, sizeof i) == sizeof i;)
            committed = i;
        ::close(fds[0]);
        EXPECT_GT(committed, 0) << "round " << round << ": the child never got going";

        CDatabase db;
        ASSERT_TRUE(db.Open(dir.File(kDatabaseFile), nullptr));
        CStatement check(db, "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ(check.Text(0), "ok") << "round " << round;
        const std::string events = "SELECT COUNT(*) FROM events WHERE user = '" + std::to_string(round) +
                                   "' AND CAST(text AS INTEGER) <= " + std::to_string(committed);
        EXPECT_EQ(Count(db, events), committed + 1) << "round " << round;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(base.time_since_epoch()).count();
        const std::string readings = "SELECT COUNT(*) FROM readings WHERE at BETWEEN " + std::to_string(ms) + " AND " +
                                     std::to_string(ms + committed * 1000);
        EXPECT_EQ(Count(db, readings), committed + 1) << "round " << round;
    }
}

}  // namespace
