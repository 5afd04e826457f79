#pragma once
// Web sessions: a random token, given to the browser as a cookie, names a
// logged-in user. Kept in memory and, when a file is given, in that file
// (mode 0600; the tokens' digests only, never a token), so that a restart
// of the service logs nobody out. Safe to use from every request thread.

#include <chrono>
#include <cstddef>
#include <functional>
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

    // A file's last use is written again once it is this much older than
    // the real one, so that a restart keeps the idle limit roughly right.
    static constexpr auto kSaveEvery = std::chrono::minutes(10);

    using Report = std::function<void(const std::string&)>;

    // `file`: where the sessions outlive a restart; empty: memory only.
    // `report` hears once when the file cannot be written, until it can.
    explicit CSessions(std::string file = {}, Report report = {});
    // Takes the sessions a previous run kept, dropping the idle ones. True
    // when there was no file; false with a reason when it could not be read
    // (the service then starts with none).
    bool Load(std::string* error);
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
        Clock::time_point savedUse;  // the last use the file has
    };
    void Save();  // under m_lock

    std::string m_file;
    Report m_report;
    bool m_saveFailed = false;  // said once, until a save works again
    std::mutex m_lock;
    std::map<std::string, Entry> m_entries;  // by the SHA-256 of the token
};

}  // namespace talvexd
