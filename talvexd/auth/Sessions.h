#pragma once
// Web sessions: a random token, given to the browser as a cookie, names a
// logged-in user. Kept in memory only: a restart logs everyone out. Safe to
// use from every request thread.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace talvexd {

class CSessions
{
public:
    using Clock = std::chrono::steady_clock;
    // A session unused for this long ends.
    static constexpr auto kIdleLimit = std::chrono::hours(12);
    // The oldest session gives way beyond this many.
    static constexpr std::size_t kMaxSessions = 1000;

    // A new session for `user`; its token (64 hex digits), or "" when the
    // system has no random bytes to give.
    std::string Create(const std::string& user, Clock::time_point now);
    // The user of a live session, which counts as a use.
    std::optional<std::string> Find(const std::string& token, Clock::time_point now);
    void End(const std::string& token);

private:
    struct Entry {
        std::string user;
        Clock::time_point lastUse;
    };
    std::mutex m_lock;
    std::map<std::string, Entry> m_entries;  // by the SHA-256 of the token
};

}  // namespace talvexd
