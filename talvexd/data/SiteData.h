#pragma once
// The event log and the readings history, in the site database
// (DIR/talvex.db). Callers never wait for the disk: events and readings are
// queued and one writer thread writes them in batches, one transaction
// each. Queries run on a read connection of their own, which in WAL mode
// never waits for the writer. A full disk (or a database at its size cap)
// stops nothing: events wait in memory, up to a bound, and are written
// when there is room again.

#include "Database.h"
#include "Reading.h"

#include "talvexd/site/Journal.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace talvexd {

// One event as the log keeps it.
struct LogRow {
    std::int64_t id = 0;
    WallClock::time_point at;
    EventKind kind = EventKind::Service;
    std::string user;
    std::string text;
};

// The readings of one step of the history, in the status object's units.
struct HistoryBucket {
    WallClock::time_point start;
    double min = 0;
    double max = 0;
    double mean = 0;
    std::int64_t count = 0;
};

class CSiteData
{
public:
    // A full disk is tried again after this pause.
    static constexpr std::chrono::milliseconds kRetryPause{30000};
    // Rows waiting in memory at most; beyond it readings go first.
    static constexpr std::size_t kMaxWaiting = 10000;
    // How often old rows are deleted.
    static constexpr std::chrono::hours kRetentionPeriod{1};
    // The schema's version, in PRAGMA user_version.
    static constexpr int kSchemaVersion = 1;

    struct Options {
        std::string directory;
        int historyDays = 30;
        std::chrono::seconds historyInterval{10};
        int logDays = 365;
        int maxSizeMb = 0;  // 0: as large as the disk allows
        std::chrono::milliseconds retryPause = kRetryPause;
        std::size_t maxWaiting = kMaxWaiting;
        // Where the writer says that the disk is full or a write failed;
        // standard error when empty. Called without any lock held.
        std::function<void(const std::string&)> report;
    };

    struct Health {
        bool full = false;                // the newest write found the disk full
        std::uint64_t writeFailures = 0;  // batches that failed for any other reason
        std::size_t waiting = 0;          // events and readings not written yet
        std::int64_t bytes = 0;           // the database and its WAL on disk
        std::uint64_t dropped = 0;        // rows given up beyond the bound
    };

    CSiteData() = default;
    ~CSiteData();
    CSiteData(const CSiteData&) = delete;
    CSiteData& operator=(const CSiteData&) = delete;

    // Opens (or makes) DIR/talvex.db and its schema, deletes what is past
    // its keeping and starts the writer; false with the reason in `error`.
    bool Open(const Options& options, std::string* error);
    // Writes what is queued and stops the writer. Safe to call twice.
    void Close();
    // Queues one event; never waits for the disk. Safe from every thread.
    void Record(const JournalEntry& entry);
    // At the end of every status cycle: queues a readings row when the link
    // is up, the cycle is newer than the last row and it starts a new
    // historyInterval.
    void AddReadings(const SiteStatus& status);
    // Waits until everything queued so far is written; false when it is not
    // within `timeout` (a full disk, a failing write).
    bool Flush(std::chrono::milliseconds timeout);

    // Events newest first: at or after `since`, of `kind`, at most `limit`.
    std::vector<LogRow> QueryLog(std::optional<WallClock::time_point> since, std::optional<EventKind> kind,
                                 int limit) const;
    // The readings in [from, to) in steps of `step` from `from`; steps
    // without rows are left out.
    std::vector<HistoryBucket> QueryHistory(Reading reading, WallClock::time_point from, WallClock::time_point to,
                                            std::chrono::seconds step) const;
    Health CurrentHealth() const;

private:
    struct ReadingsRow {
        std::int64_t at = 0;  // ms since the epoch
        int values[std::size(kReadings)] = {};
    };
    struct Batch {
        std::deque<JournalEntry> events;
        std::deque<ReadingsRow> readings;
    };
    void Run();
    // One transaction with every row of `batch`; on a failure the SQLite
    // result code, else SQLITE_OK.
    int Write(const Batch& batch, std::string& error);
    // Deletes what is past historyDays and logDays.
    void DeleteOld();
    // Drops the oldest rows beyond the bound, readings first. Under m_lock.
    void Trim();
    void Report(const std::string& text) const;
    std::int64_t SizeOnDisk() const;

    Options m_options;
    std::string m_path;
    std::unique_ptr<CDatabase> m_writer;  // the writer thread's alone
    std::unique_ptr<CStatement> m_insertEvent;
    std::unique_ptr<CStatement> m_insertReadings;
    std::unique_ptr<CDatabase> m_reader;  // queries, under m_readLock
    mutable std::mutex m_readLock;

    mutable std::mutex m_lock;  // guards what follows, to the writer thread
    std::condition_variable m_wake;
    std::condition_variable m_written;
    Batch m_queue;
    std::size_t m_writing = 0;          // rows the writer holds now
    std::int64_t m_lastReadingAt = -1;  // ms of the newest readings row
    bool m_open = false;
    bool m_stop = false;
    bool m_full = false;
    std::uint64_t m_writeFailures = 0;
    std::uint64_t m_dropped = 0;
    std::thread m_thread;

    std::atomic<std::int64_t> m_bytes{0};
    std::set<int> m_reported;  // error codes said since the last good write; the writer's
};

}  // namespace talvexd
