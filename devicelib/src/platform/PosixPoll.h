#pragma once
// Waiting on a descriptor against a deadline, shared by the POSIX backends
// (the tty and the network port). Each reads the events in its own way: on
// a tty a hang-up wins over readable data, on a socket the data first.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include <poll.h>

#include "SerialPort.h"

namespace talvex::posix {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so that poll() never
// returns just before it.
inline int MsUntil(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

// poll() for `events` on `fd` until `deadline`, retrying on signals: the
// events that came (revents), 0 when the deadline passed, -1 on an error.
inline int PollEvents(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd entry{fd, events, 0};
        const int n = ::poll(&entry, 1, MsUntil(deadline));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        return n == 0 ? 0 : entry.revents;
    }
}

// The deadlines of one reply read of `size` bytes, as the timeouts record
// shapes it, all inside the guard: a read that returns at once with what
// is there, a total for the whole read, and a quiet gap after the last byte.
class CReadDeadlines
{
public:
    CReadDeadlines(const TalvexCommTimeouts& t, std::size_t size, int guardMs)
        : m_atOnce(t.readIntervalTimeout == kReturnAtOnce && t.readTotalTimeoutMultiplier == 0 &&
                   t.readTotalTimeoutConstant == 0),
          m_useGap(t.readIntervalTimeout != 0 && t.readIntervalTimeout != kReturnAtOnce), m_gap(t.readIntervalTimeout)
    {
        const auto start = Clock::now();
        m_guard = start + std::chrono::milliseconds(guardMs);
        const std::uint64_t totalMs = std::uint64_t{t.readTotalTimeoutMultiplier} * size + t.readTotalTimeoutConstant;
        m_total = totalMs == 0 ? m_guard : std::min(m_guard, start + std::chrono::milliseconds(totalMs));
        m_lastByte = start;
    }

    // Nothing is waited for: the read takes what has arrived.
    bool AtOnce() const { return m_atOnce; }
    void BytesArrived() { m_lastByte = Clock::now(); }
    // Until when to wait for more, once `any` bytes (or none) have arrived.
    Clock::time_point WaitUntil(bool any) const
    {
        return m_useGap && any ? std::min(m_total, m_lastByte + m_gap) : m_total;
    }
    // A wait that ended without data ran into the guard, not a timeout of
    // the record: the read timed out.
    bool GuardRanOut() const { return Clock::now() >= m_guard && m_total == m_guard; }

private:
    bool m_atOnce = false;
    bool m_useGap = false;
    std::chrono::milliseconds m_gap{0};
    Clock::time_point m_guard;
    Clock::time_point m_total;
    Clock::time_point m_lastByte;
};

}  // namespace talvex::posix
