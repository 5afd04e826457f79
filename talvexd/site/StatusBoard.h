#pragma once
// Where the link posts what it read and every client reads it: the newest
// status under a small lock, with a version for each kind of change, so
// that an event stream waits for the next change instead of asking again.
// No reader ever causes an exchange.

#include "SiteStatus.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>

namespace talvexd {

class CStatusBoard
{
public:
    // How often each kind has changed since the start.
    struct Versions {
        std::uint64_t status = 0;  // a status cycle changed something
        std::uint64_t level = 0;   // a level reading
        std::uint64_t link = 0;    // the link went up or down
        std::uint64_t alarms = 0;  // an alarm was raised, cleared or acknowledged
        bool operator==(const Versions&) const = default;
    };
    enum Change : unsigned { kStatus = 1, kLevel = 2, kLink = 4, kAlarms = 8 };

    // Replaces the status; `changes` (Change bits) says which versions move.
    void Publish(const SiteStatus& status, unsigned changes);
    // Moves the versions in `changes` alone: news that is not in the status.
    void Note(unsigned changes);
    SiteStatus Current() const;
    // The status with the versions it is at, read together.
    std::pair<SiteStatus, Versions> Read() const;
    Versions CurrentVersions() const;
    // Waits until the versions differ from `seen`, the timeout passes or the
    // board closes; the versions then.
    Versions WaitForChange(const Versions& seen, std::chrono::milliseconds timeout) const;
    // Ends every wait, now and later: the service is stopping.
    void Close();
    bool Closed() const;

private:
    void Move(unsigned changes);  // under m_lock

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    SiteStatus m_status;
    Versions m_versions;
    bool m_closed = false;
};

}  // namespace talvexd
