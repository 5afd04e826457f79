#include "Database.h"

#include <sqlite3.h>

namespace talvexd {

CDatabase::~CDatabase()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

bool CDatabase::Open(const std::string& path, std::string* error, Mode mode)
{
    const int flags = (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) |
                      SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        if (error)
            *error = path + ": " + (m_db ? sqlite3_errmsg(m_db) : "cannot open");
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    // NORMAL under WAL: a commit survives a crash of the service at any
    // moment; only a power cut may take back the newest commits, never the
    // file's integrity.
    std::string reason;
    // The journal mode is the file's: a reader finds it set by the writer.
    const char* setup = mode == Mode::ReadOnly
                            ? "PRAGMA foreign_keys=ON;"
                            : "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;";
    if (!Exec(setup, &reason)) {
        if (error)
            *error = path + ": " + reason;
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    return true;
}

bool CDatabase::Exec(std::string_view sql, std::string* error)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, std::string(sql).c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error)
        *error = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

std::string CDatabase::LastError() const { return m_db ? sqlite3_errmsg(m_db) : "not open"; }

bool CDatabase::LastErrorWasFull() const { return LastErrorCode() == SQLITE_FULL; }

int CDatabase::LastErrorCode() const { return m_db ? sqlite3_errcode(m_db) & 0xff : SQLITE_MISUSE; }

CStatement::CStatement(CDatabase& db, std::string_view sql)
{
    if (db.Handle())
        sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr);
}

CStatement::~CStatement() { sqlite3_finalize(m_statement); }

CStatement& CStatement::Bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(m_statement, index, value);
    return *this;
}

CStatement& CStatement::Bind(int index, double value)
{
    sqlite3_bind_double(m_statement, index, value);
    return *this;
}

CStatement& CStatement::Bind(int index, std::string_view value)
{
    sqlite3_bind_text(m_statement, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
}

CStatement& CStatement::BindNull(int index)
{
    sqlite3_bind_null(m_statement, index);
    return *this;
}

bool CStatement::Step()
{
    if (!m_statement)
        return false;
    const int rc = sqlite3_step(m_statement);
    m_done = rc == SQLITE_DONE;
    return rc == SQLITE_ROW;
}

bool CStatement::Run()
{
    Step();
    const bool done = m_done;
    Reset();
    return done;
}

void CStatement::Reset()
{
    if (m_statement) {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
}

std::int64_t CStatement::Int(int column) const { return sqlite3_column_int64(m_statement, column); }

double CStatement::Real(int column) const { return sqlite3_column_double(m_statement, column); }

std::string CStatement::Text(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                : std::string();
}

bool CStatement::IsNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }

CTransaction::CTransaction(CDatabase& db) : m_db(db), m_open(db.Exec("BEGIN IMMEDIATE")) {}

CTransaction::~CTransaction()
{
    if (m_open)
        m_db.Exec("ROLLBACK");
}

bool CTransaction::Commit()
{
    if (!m_open)
        return false;
    m_open = !m_db.Exec("COMMIT");
    return !m_open;
}

}  // namespace talvexd
