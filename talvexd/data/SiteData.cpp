#include "SiteData.h"

#include "talvexd/site/Log.h"

#include <pthread.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace talvexd {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr char kSchema[] = R"(
CREATE TABLE events(
  id INTEGER PRIMARY KEY,
  at INTEGER NOT NULL,
  kind TEXT NOT NULL,
  user TEXT NOT NULL,
  text TEXT NOT NULL);
CREATE INDEX events_at ON events(at);
CREATE TABLE readings(
  at INTEGER PRIMARY KEY,
  forward_power INTEGER,
  swr INTEGER,
  temperature INTEGER,
  audio_level INTEGER,
  power_setting INTEGER,
  frequency INTEGER,
  line_volume INTEGER,
  mic_volume INTEGER);
)";

// The columns in the order of kReadings.
constexpr char kInsertReadings[] =
    "INSERT OR IGNORE INTO readings(at, forward_power, swr, temperature, audio_level, power_setting, frequency, "
    "line_volume, mic_volume) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";
constexpr char kInsertEvent[] = "INSERT INTO events(at, kind, user, text) VALUES (?, ?, ?, ?)";

std::int64_t Milliseconds(WallClock::time_point moment)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
}

WallClock::time_point FromMilliseconds(std::int64_t ms)
{
    return WallClock::time_point(std::chrono::duration_cast<WallClock::duration>(std::chrono::milliseconds(ms)));
}

// The single integer a statement such as "PRAGMA user_version" answers.
std::optional<std::int64_t> QueryInt(CDatabase& db, const char* sql)
{
    CStatement statement(db, sql);
    if (!statement.Step())
        return std::nullopt;
    return statement.IsNull(0) ? std::nullopt : std::optional<std::int64_t>(statement.Int(0));
}

}  // namespace

CSiteData::~CSiteData() { Close(); }

bool CSiteData::Open(const Options& options, std::string* error)
{
    const auto fail = [&](const std::string& reason) {
        if (error)
            *error = reason;
        m_writer.reset();
        m_reader.reset();
        return false;
    };
    if (m_open)
        return fail("the site database is open already");
    if (options.directory.empty())
        return fail("no data directory is set");
    m_options = options;
    std::error_code ec;
    std::filesystem::create_directories(options.directory, ec);
    if (ec)
        return fail("cannot make the data directory " + options.directory + ": " + ec.message());
    m_path = (std::filesystem::path(options.directory) / kDatabaseFile).string();

    m_writer = std::make_unique<CDatabase>();
    std::string reason;
    if (!m_writer->Open(m_path, &reason))
        return fail(reason);
    if (options.maxSizeMb > 0) {
        // A database at its cap then fails as a full disk does (SQLITE_FULL).
        const std::int64_t pageSize = QueryInt(*m_writer, "PRAGMA page_size").value_or(4096);
        const std::int64_t pages = std::int64_t{options.maxSizeMb} * 1024 * 1024 / pageSize;
        m_writer->Exec("PRAGMA max_page_count = " + std::to_string(pages));
    }
    const auto version = QueryInt(*m_writer, "PRAGMA user_version");
    if (!version)
        return fail(m_path + ": " + m_writer->LastError());
    if (*version > kSchemaVersion) {
        return fail(m_path + ": made by a newer talvexd (schema " + std::to_string(*version) +
                    "); this one knows schema " + std::to_string(kSchemaVersion));
    }
    if (*version == 0) {
        CTransaction transaction(*m_writer);
        if (!transaction.Ok() || !m_writer->Exec(kSchema, &reason) ||
            !m_writer->Exec("PRAGMA user_version = " + std::to_string(kSchemaVersion), &reason) ||
            !transaction.Commit()) {
            return fail(m_path + ": cannot make the tables: " + (reason.empty() ? m_writer->LastError() : reason));
        }
    }
    m_insertEvent = std::make_unique<CStatement>(*m_writer, kInsertEvent);
    m_insertReadings = std::make_unique<CStatement>(*m_writer, kInsertReadings);
    if (!m_insertEvent->Ok() || !m_insertReadings->Ok())
        return fail(m_path + ": " + m_writer->LastError());
    DeleteOld();

    m_reader = std::make_unique<CDatabase>();
    if (!m_reader->Open(m_path, &reason, CDatabase::Mode::ReadOnly))
        return fail(reason);

    m_queue = {};
    m_lastReadingAt = QueryInt(*m_writer, "SELECT MAX(at) FROM readings").value_or(-1);
    m_bytes = SizeOnDisk();
    m_stop = false;
    m_full = false;
    m_open = true;
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "talvexd-data");  // its cost, apart in top -H
        Run();
    });
    return true;
}

void CSiteData::Close()
{
    {
        std::lock_guard lock(m_lock);
        if (!m_open)
            return;
        m_open = false;  // what comes from now on is not taken
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_insertEvent.reset();
    m_insertReadings.reset();
    m_writer.reset();
    std::lock_guard lock(m_readLock);
    m_reader.reset();
}

void CSiteData::Record(const JournalEntry& entry)
{
    {
        std::lock_guard lock(m_lock);
        if (!m_open)
            return;
        m_queue.events.push_back(entry);
        Trim();
    }
    m_wake.notify_one();
}

void CSiteData::AddReadings(const SiteStatus& status)
{
    if (!status.linkUp || !status.readAt)
        return;
    const std::int64_t at = Milliseconds(*status.readAt);
    ReadingsRow row;
    row.at = at;
    for (const Reading reading : kReadings)
        row.values[static_cast<int>(reading)] = ReadingValue(status, reading);
    {
        std::lock_guard lock(m_lock);
        const std::int64_t interval =
            std::max<std::int64_t>(1, std::chrono::milliseconds(m_options.historyInterval).count());
        // One row per interval: the first cycle that starts a new one.
        if (!m_open || (m_lastReadingAt >= 0 && (at <= m_lastReadingAt || at / interval == m_lastReadingAt / interval)))
            return;
        m_lastReadingAt = at;
        m_queue.readings.push_back(row);
        Trim();
    }
    m_wake.notify_one();
}

bool CSiteData::Flush(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    return m_written.wait_for(lock, timeout,
                              [this] { return m_queue.events.empty() && m_queue.readings.empty() && m_writing == 0; });
}

void CSiteData::Trim()
{
    while (m_queue.events.size() + m_queue.readings.size() > m_options.maxWaiting) {
        if (!m_queue.readings.empty())
            m_queue.readings.pop_front();
        else
            m_queue.events.pop_front();
        ++m_dropped;
    }
}

void CSiteData::Run()
{
    auto retentionAt = SteadyClock::now() + kRetentionPeriod;
    auto retryAt = SteadyClock::now();
    std::unique_lock lock(m_lock);
    const auto hasRows = [this] { return !m_queue.events.empty() || !m_queue.readings.empty(); };
    for (;;) {
        // While writes fail, the next try waits out the pause whatever comes.
        const bool failing = m_full || !m_reported.empty();
        if (failing)
            m_wake.wait_until(lock, std::min(retryAt, retentionAt), [this] { return m_stop; });
        else
            m_wake.wait_until(lock, retentionAt, [&] { return m_stop || hasRows(); });
        const bool stopping = m_stop;
        if (SteadyClock::now() >= retentionAt) {
            lock.unlock();
            DeleteOld();
            lock.lock();
            retentionAt = SteadyClock::now() + kRetentionPeriod;
        }
        if (hasRows() && (!failing || stopping || SteadyClock::now() >= retryAt)) {
            Batch batch;
            std::swap(batch, m_queue);
            m_writing = batch.events.size() + batch.readings.size();
            lock.unlock();
            std::string error;
            const int rc = Write(batch, error);
            m_bytes = SizeOnDisk();
            std::string report;
            lock.lock();
            const std::size_t rows = m_writing;
            if (rc == SQLITE_OK) {
                if (failing)
                    report = "data: writing again; " + std::to_string(rows) + " waiting rows are written";
                m_full = false;
                m_reported.clear();
            } else {
                // Back in front of what came meanwhile, in their order.
                batch.events.insert(batch.events.end(), m_queue.events.begin(), m_queue.events.end());
                batch.readings.insert(batch.readings.end(), m_queue.readings.begin(), m_queue.readings.end());
                std::swap(batch, m_queue);
                m_writing = 0;
                Trim();
                if (rc == SQLITE_FULL) {
                    if (!m_full)
                        report = "data: the disk is full (or the database at its max_size_mb); events are kept in "
                                 "memory and written when there is room";
                    m_full = true;
                } else {
                    ++m_writeFailures;
                    if (m_reported.insert(rc).second)
                        report = "data: cannot write " + m_path + ": " + error + "; trying again every " +
                                 std::to_string(m_options.retryPause.count()) + " ms";
                }
                retryAt = SteadyClock::now() + m_options.retryPause;
            }
            // A flush returns only once what the write has to say is said;
            // the report goes out unlocked as it may record an event itself.
            if (!report.empty()) {
                lock.unlock();
                Report(report);
                lock.lock();
            }
            m_writing = 0;
            m_written.notify_all();
        }
        if (stopping)
            break;
    }
    const std::size_t lost = m_queue.events.size() + m_queue.readings.size();
    m_queue = {};
    m_written.notify_all();
    lock.unlock();
    if (lost > 0)
        Report("data: " + std::to_string(lost) + " events and readings could not be written before stopping");
}

int CSiteData::Write(const Batch& batch, std::string& error)
{
    CTransaction transaction(*m_writer);
    const auto failed = [&] {
        error = m_writer->LastError();
        const int rc = m_writer->LastErrorCode();
        return rc == SQLITE_OK ? SQLITE_ERROR : rc;
    };
    if (!transaction.Ok())
        return failed();
    for (const JournalEntry& entry : batch.events) {
        m_insertEvent->Bind(1, Milliseconds(entry.at))
            .Bind(2, std::string_view(EventKindName(entry.kind)))
            .Bind(3, std::string_view(entry.user))
            .Bind(4, std::string_view(entry.text));
        if (!m_insertEvent->Run())
            return failed();
    }
    for (const ReadingsRow& row : batch.readings) {
        m_insertReadings->Bind(1, row.at);
        for (std::size_t i = 0; i < std::size(row.values); ++i)
            m_insertReadings->Bind(static_cast<int>(i) + 2, std::int64_t{row.values[i]});
        if (!m_insertReadings->Run())
            return failed();
    }
    if (!transaction.Commit())
        return failed();
    return SQLITE_OK;
}

void CSiteData::DeleteOld()
{
    using Days = std::chrono::duration<std::int64_t, std::ratio<86400>>;
    const auto now = WallClock::now();
    CStatement readings(*m_writer, "DELETE FROM readings WHERE at < ?");
    CStatement events(*m_writer, "DELETE FROM events WHERE at < ?");
    readings.Bind(1, Milliseconds(now - Days(m_options.historyDays)));
    events.Bind(1, Milliseconds(now - Days(m_options.logDays)));
    if (!readings.Run() || !events.Run())
        Report("data: cannot delete old rows from " + m_path + ": " + m_writer->LastError());
}

std::vector<LogRow> CSiteData::QueryLog(std::optional<WallClock::time_point> since, std::optional<EventKind> kind,
                                        int limit) const
{
    std::vector<LogRow> rows;
    std::lock_guard lock(m_readLock);
    if (!m_reader || limit <= 0)
        return rows;
    std::string sql = "SELECT id, at, kind, user, text FROM events";
    if (since || kind)
        sql += " WHERE ";
    if (since)
        sql += "at >= ?1";
    if (kind)
        sql += since ? " AND kind = ?2" : "kind = ?2";
    sql += " ORDER BY at DESC, id DESC LIMIT ?3";
    CStatement statement(*m_reader, sql);
    if (since)
        statement.Bind(1, Milliseconds(*since));
    if (kind)
        statement.Bind(2, std::string_view(EventKindName(*kind)));
    statement.Bind(3, std::int64_t{limit});
    while (statement.Step()) {
        rows.push_back({statement.Int(0), FromMilliseconds(statement.Int(1)),
                        ParseEventKind(statement.Text(2)).value_or(EventKind::Service), statement.Text(3),
                        statement.Text(4)});
    }
    return rows;
}

std::vector<HistoryBucket> CSiteData::QueryHistory(Reading reading, WallClock::time_point from,
                                                   WallClock::time_point to, std::chrono::seconds step) const
{
    std::vector<HistoryBucket> buckets;
    std::lock_guard lock(m_readLock);
    if (!m_reader || step.count() <= 0 || to <= from)
        return buckets;
    const std::string column = ReadingColumn(reading);
    // One pass over the rowid range; the buckets are the steps from `from`.
    CStatement statement(*m_reader, "SELECT (at - ?1) / ?2, MIN(" + column + "), MAX(" + column + "), AVG(" + column +
                                        "), COUNT(" + column + ") FROM readings WHERE at >= ?1 AND at < ?3 AND " +
                                        column + " IS NOT NULL GROUP BY 1 ORDER BY 1");
    const std::int64_t stepMs = std::chrono::milliseconds(step).count();
    statement.Bind(1, Milliseconds(from)).Bind(2, stepMs).Bind(3, Milliseconds(to));
    const double divisor = ReadingDivisor(reading);
    while (statement.Step()) {
        buckets.push_back({FromMilliseconds(Milliseconds(from) + statement.Int(0) * stepMs),
                           static_cast<double>(statement.Int(1)) / divisor,
                           static_cast<double>(statement.Int(2)) / divisor, statement.Real(3) / divisor,
                           statement.Int(4)});
    }
    return buckets;
}

CSiteData::Health CSiteData::CurrentHealth() const
{
    std::lock_guard lock(m_lock);
    Health health;
    health.full = m_full;
    health.writeFailures = m_writeFailures;
    health.waiting = m_queue.events.size() + m_queue.readings.size() + m_writing;
    health.bytes = m_bytes;
    health.dropped = m_dropped;
    return health;
}

void CSiteData::Report(const std::string& text) const
{
    if (m_options.report)
        m_options.report(text);
    else
        Log(text);
}

std::int64_t CSiteData::SizeOnDisk() const
{
    std::error_code ec;
    std::int64_t bytes = 0;
    for (const std::string& file : {m_path, m_path + "-wal"}) {
        const auto size = std::filesystem::file_size(file, ec);
        if (!ec)
            bytes += static_cast<std::int64_t>(size);
    }
    return bytes;
}

}  // namespace talvexd
