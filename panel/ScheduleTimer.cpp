// Placeholder: replaced by the schedule implementation.
#include "ScheduleTimer.h"

void ScheduleTimer::Arm(std::int64_t due)
{
    std::lock_guard lock(m_mutex);
    m_due = due;
}
ScheduleTimer::WaitResult ScheduleTimer::Wait() { return WaitResult::Stopped; }
void ScheduleTimer::Stop()
{
    std::lock_guard lock(m_mutex);
    m_stopped = true;
}
