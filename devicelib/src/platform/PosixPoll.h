#pragma once
// Waiting on a descriptor against a deadline, shared by the POSIX backends
// (the tty and the network port). Each reads the events in its own way: on
// a tty a hang-up wins over readable data, on a socket the data first.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include <poll.h>

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

}  // namespace talvex::posix
