#include "ScheduleTimer.h"

#include <algorithm>
#include <chrono>

namespace {

// The wait is cut into slices of at most this length and the wall clock read
// again after each, so that setting the system clock moves the firing with
// it, whatever clock the condition variable waits on.
constexpr std::int64_t kSliceSeconds = 1;

}  // namespace

void ScheduleTimer::Arm(std::int64_t due)
{
    {
        std::lock_guard lock(m_mutex);
        m_due = due;
    }
    m_cv.notify_all();
}

ScheduleTimer::WaitResult ScheduleTimer::Wait()
{
    using namespace std::chrono;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stopped) {
            return WaitResult::Stopped;
        }
        if (!m_due) {
            m_cv.wait(lock);
            continue;
        }
        // Compare in whole seconds: a due time far in the future does not fit
        // the clock's native resolution.
        const std::int64_t now = floor<seconds>(system_clock::now()).time_since_epoch().count();
        if (*m_due <= now) {
            m_due.reset();
            return WaitResult::Fired;
        }
        const std::int64_t until = std::min(*m_due, now + kSliceSeconds);
        m_cv.wait_until(lock, time_point<system_clock, seconds>(seconds(until)));
    }
}

void ScheduleTimer::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_cv.notify_all();
}

std::optional<std::int64_t> ScheduleTimer::DueTime() const
{
    std::lock_guard lock(m_mutex);
    return m_due;
}
