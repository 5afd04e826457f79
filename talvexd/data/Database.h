#pragma once
// One connection to the site's SQLite database (Debian's libsqlite3), in
// write-ahead-log mode so that a kill at any moment leaves it whole and
// readers never wait for the writer. Each part of the service that keeps
// something (the event log, the readings history, the notification outbox)
// opens its own connection to the same file. A connection is used by one
// thread at a time; the lock it carries is for those that share one.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace talvexd {

// The file in [data] directory.
inline constexpr char kDatabaseFile[] = "talvex.db";

class CDatabase
{
public:
    CDatabase() = default;
    ~CDatabase();
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    enum class Mode { ReadWrite, ReadOnly };
    // Opens (making it when there is none) `path`, in WAL mode, with a
    // 5-second wait for a lock; false with SQLite's reason in `error`. A
    // read-only connection needs the file made already.
    bool Open(const std::string& path, std::string* error, Mode mode = Mode::ReadWrite);
    bool IsOpen() const { return m_db != nullptr; }
    // Runs statements without results; false with the reason in `error`.
    bool Exec(std::string_view sql, std::string* error = nullptr);
    sqlite3* Handle() const { return m_db; }
    // The newest error: SQLite's text, and whether it was a full disk (or a
    // database at its size limit), which a caller reports instead of
    // failing on.
    std::string LastError() const;
    bool LastErrorWasFull() const;
    // SQLite's primary result code of the newest error (SQLITE_FULL, ...).
    int LastErrorCode() const;
    // For a connection shared between threads.
    std::mutex& Lock() { return m_lock; }

private:
    sqlite3* m_db = nullptr;
    std::mutex m_lock;
};

// A prepared statement: bind by position from 1, step, read columns from 0.
class CStatement
{
public:
    CStatement(CDatabase& db, std::string_view sql);
    ~CStatement();
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    bool Ok() const { return m_statement != nullptr; }
    CStatement& Bind(int index, std::int64_t value);
    CStatement& Bind(int index, double value);
    CStatement& Bind(int index, std::string_view value);
    CStatement& BindNull(int index);
    // true while there is a row; false at the end or on an error (Done()
    // tells which).
    bool Step();
    bool Done() const { return m_done; }
    // Steps once and resets, for statements without results.
    bool Run();
    void Reset();
    std::int64_t Int(int column) const;
    double Real(int column) const;
    std::string Text(int column) const;
    bool IsNull(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
    bool m_done = false;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back unless Commit() succeeds.
class CTransaction
{
public:
    explicit CTransaction(CDatabase& db);
    ~CTransaction();
    bool Ok() const { return m_open; }
    bool Commit();

private:
    CDatabase& m_db;
    bool m_open = false;
};

}  // namespace talvexd
