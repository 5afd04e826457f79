#include "Outbox.h"

namespace talvexd {

namespace {

// Times are kept as Unix milliseconds.
std::int64_t Ms(WallClock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

WallClock::time_point FromMs(std::int64_t ms)
{
    return WallClock::time_point(std::chrono::duration_cast<WallClock::duration>(std::chrono::milliseconds(ms)));
}

constexpr char kColumns[] = "SELECT id, channel, body, created, attempts, next_attempt, last_error FROM outbox ";
// Owed: neither delivered nor replaced by a summary.
constexpr char kOwed[] = "delivered IS NULL AND summarised_into IS NULL";

OutboxItem ItemOf(const CStatement& row)
{
    return {row.Int(0),         row.Text(1), row.Text(2), FromMs(row.Int(3)), static_cast<int>(row.Int(4)),
            FromMs(row.Int(5)), row.Text(6)};
}

}  // namespace

bool COutbox::Open(const std::string& path, std::string* error)
{
    if (!m_db.Open(path, error))
        return false;
    // summarised_into names the summary row that carries this one; it is no
    // foreign key, so that old rows can go in any order.
    std::string reason;
    if (!m_db.Exec("CREATE TABLE IF NOT EXISTS outbox ("
                   " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                   " channel TEXT NOT NULL,"
                   " body TEXT NOT NULL,"
                   " created INTEGER NOT NULL,"
                   " attempts INTEGER NOT NULL DEFAULT 0,"
                   " next_attempt INTEGER NOT NULL,"
                   " last_error TEXT,"
                   " delivered INTEGER,"
                   " summarised_into INTEGER);"
                   "CREATE INDEX IF NOT EXISTS outbox_owed ON outbox(channel, id)"
                   " WHERE delivered IS NULL AND summarised_into IS NULL;"
                   "CREATE INDEX IF NOT EXISTS outbox_delivered ON outbox(channel, delivered)"
                   " WHERE delivered IS NOT NULL;",
                   &reason)) {
        if (error)
            *error = path + ": outbox: " + reason;
        return false;
    }
    return true;
}

bool COutbox::Add(const std::vector<std::string>& channels, std::string_view body, WallClock::time_point now,
                  std::string* error)
{
    CTransaction transaction(m_db);
    CStatement insert(m_db, "INSERT INTO outbox (channel, body, created, next_attempt) VALUES (?, ?, ?, ?)");
    bool ok = transaction.Ok() && insert.Ok();
    for (const std::string& channel : channels)
        ok = ok && insert.Bind(1, channel).Bind(2, body).Bind(3, Ms(now)).Bind(4, Ms(now)).Run();
    if (ok && transaction.Commit())
        return true;
    if (error)
        *error = m_db.LastErrorWasFull() ? "the disk is full (" + m_db.LastError() + ")" : m_db.LastError();
    return false;
}

std::vector<OutboxItem> COutbox::Due(WallClock::time_point now, std::string_view channel)
{
    CStatement select(m_db, std::string(kColumns) + "WHERE " + kOwed +
                                " AND next_attempt <= ?1 AND (?2 = '' OR channel = ?2) ORDER BY id");
    select.Bind(1, Ms(now)).Bind(2, std::string(channel));  // a string: never a null pointer, never NULL
    std::vector<OutboxItem> items;
    while (select.Step())
        items.push_back(ItemOf(select));
    return items;
}

std::optional<OutboxItem> COutbox::Head(std::string_view channel)
{
    CStatement select(m_db, std::string(kColumns) + "WHERE " + kOwed + " AND channel = ? ORDER BY id LIMIT 1");
    select.Bind(1, channel);
    return select.Step() ? std::optional(ItemOf(select)) : std::nullopt;
}

bool COutbox::Delivered(std::int64_t id, WallClock::time_point at)
{
    CStatement update(m_db, "UPDATE outbox SET delivered = ? WHERE id = ?");
    return update.Bind(1, Ms(at)).Bind(2, id).Run();
}

bool COutbox::Failed(std::int64_t id, WallClock::time_point next, std::string_view error)
{
    CStatement update(m_db, "UPDATE outbox SET attempts = attempts + 1, next_attempt = ?, last_error = ? WHERE id = ?");
    return update.Bind(1, Ms(next)).Bind(2, error).Bind(3, id).Run();
}

std::optional<std::int64_t> COutbox::Summarise(std::string_view channel, const std::vector<std::int64_t>& ids,
                                               std::string_view body, int attempts, WallClock::time_point now)
{
    CTransaction transaction(m_db);
    if (!transaction.Ok())
        return std::nullopt;
    CStatement insert(m_db,
                      "INSERT INTO outbox (channel, body, created, attempts, next_attempt) VALUES (?, ?, ?, ?, ?)");
    if (!insert.Bind(1, channel).Bind(2, body).Bind(3, Ms(now)).Bind(4, std::int64_t{attempts}).Bind(5, Ms(now)).Run())
        return std::nullopt;
    CStatement last(m_db, "SELECT last_insert_rowid()");
    if (!last.Step())
        return std::nullopt;
    const std::int64_t summary = last.Int(0);
    CStatement update(m_db, std::string("UPDATE outbox SET summarised_into = ? WHERE id = ? AND ") + kOwed);
    for (const std::int64_t id : ids) {
        if (!update.Bind(1, summary).Bind(2, id).Run())
            return std::nullopt;
    }
    if (!transaction.Commit())
        return std::nullopt;
    return summary;
}

std::int64_t COutbox::Pending(std::string_view channel)
{
    CStatement count(m_db,
                     std::string("SELECT count(*) FROM outbox WHERE ") + kOwed + " AND (?1 = '' OR channel = ?1)");
    count.Bind(1, std::string(channel));
    return count.Step() ? count.Int(0) : 0;
}

std::int64_t COutbox::DeliveredSince(std::string_view channel, WallClock::time_point since)
{
    CStatement count(m_db, "SELECT count(*) FROM outbox WHERE channel = ? AND delivered >= ?");
    count.Bind(1, channel).Bind(2, Ms(since));
    return count.Step() ? count.Int(0) : 0;
}

std::optional<WallClock::time_point> COutbox::NthNewestDelivery(std::string_view channel, WallClock::time_point since,
                                                                int n)
{
    CStatement select(m_db, "SELECT delivered FROM outbox WHERE channel = ? AND delivered >= ?"
                            " ORDER BY delivered DESC LIMIT 1 OFFSET ?");
    select.Bind(1, channel).Bind(2, Ms(since)).Bind(3, std::int64_t{n - 1});
    return select.Step() ? std::optional(FromMs(select.Int(0))) : std::nullopt;
}

bool COutbox::Prune(WallClock::time_point before)
{
    CStatement remove(m_db,
                      "DELETE FROM outbox WHERE delivered < ?1 OR (summarised_into IS NOT NULL AND created < ?1)");
    return remove.Bind(1, Ms(before)).Run();
}

}  // namespace talvexd
