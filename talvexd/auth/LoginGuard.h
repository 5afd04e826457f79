#pragma once
// Failed logins by client address: the fifth within a minute shuts that
// address out for a minute. Safe to use from every request thread.

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace talvexd {

class CLoginGuard
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kFailures = 5;
    static constexpr auto kWindow = std::chrono::minutes(1);
    static constexpr auto kLockout = std::chrono::minutes(1);

    // The address is shut out now (the answer is 429).
    bool Blocked(const std::string& address, Clock::time_point now);
    void Failed(const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& address);

private:
    // Beyond this many addresses the stale ones are dropped, then the one
    // quiet for longest.
    static constexpr std::size_t kMaxEntries = 10000;

    struct Entry {
        std::vector<Clock::time_point> failures;  // within the window
        Clock::time_point blockedUntil{};
    };
    std::mutex m_lock;
    std::map<std::string, Entry> m_entries;

    // Makes room for one more address; the caller holds m_lock.
    void Prune(Clock::time_point now);
};

}  // namespace talvexd
