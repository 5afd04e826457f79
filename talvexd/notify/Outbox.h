#pragma once
// The notifications still owed, in the site database's table `outbox`: one
// row per notification and channel, written before anyone is told and
// marked delivered right after the receiver took it, each a commit of its
// own. A kill at any moment leaves every row owed or delivered; the one
// being sent at that moment is sent again, under the same id. Not safe
// from several threads at once: the caller serialises.

#include "talvexd/data/Database.h"
#include "talvexd/site/SiteStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvexd {

// One owed row.
struct OutboxItem {
    std::int64_t id = 0;
    std::string channel;  // "email", "webhook"
    std::string body;     // the notice's JSON (Notice.h)
    WallClock::time_point created;
    int attempts = 0;  // failed deliveries so far
    WallClock::time_point nextAttempt;
    std::string lastError;
};

class COutbox
{
public:
    // Opens the database at `path` and makes the table when there is none.
    bool Open(const std::string& path, std::string* error);
    // One new owed row per channel, due at once, in one transaction (all or
    // none); false with the reason (a full disk among them) in `error`.
    bool Add(const std::vector<std::string>& channels, std::string_view body, WallClock::time_point now,
             std::string* error);
    // The owed rows due by `now`, oldest first; of one channel unless
    // `channel` is empty.
    std::vector<OutboxItem> Due(WallClock::time_point now, std::string_view channel = {});
    // The oldest owed row of `channel`, due or not.
    std::optional<OutboxItem> Head(std::string_view channel);
    bool Delivered(std::int64_t id, WallClock::time_point at);
    // One more failed attempt: owed again from `next`.
    bool Failed(std::int64_t id, WallClock::time_point next, std::string_view error);
    // In one transaction: a new owed row `body` due at once, with
    // `attempts` already counted, and the owed rows `ids` no longer owed
    // but summarised into it. Its id, or none when nothing changed.
    std::optional<std::int64_t> Summarise(std::string_view channel, const std::vector<std::int64_t>& ids,
                                          std::string_view body, int attempts, WallClock::time_point now);
    // Rows owed; of one channel unless `channel` is empty.
    std::int64_t Pending(std::string_view channel = {});
    // Rows of `channel` delivered at or after `since`.
    std::int64_t DeliveredSince(std::string_view channel, WallClock::time_point since);
    // When the `n`-th newest delivery of `channel` at or after `since` was
    // made (n from 1); none when there were fewer.
    std::optional<WallClock::time_point> NthNewestDelivery(std::string_view channel, WallClock::time_point since,
                                                           int n);
    // Forgets delivered and summarised rows older than `before`.
    bool Prune(WallClock::time_point before);
    std::string LastError() const { return m_db.LastError(); }

private:
    CDatabase m_db;
};

}  // namespace talvexd
