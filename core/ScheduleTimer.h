#pragma once
// A timer armed for an absolute wall-clock moment. Arming again replaces the
// due time; a changed system clock moves the firing with it. One thread
// waits on it; Stop() ends that wait at once, from any thread.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

class ScheduleTimer
{
public:
    enum class WaitResult { Fired, Stopped };

    // Arms the timer for `due` (seconds since 1970-01-01 UTC).
    void Arm(std::int64_t due);
    // Blocks until the armed moment has come (then disarms: auto-reset) or
    // Stop() is called. A moment that passed while nobody waited fires the
    // next wait at once. Unarmed, it waits until armed or stopped.
    WaitResult Wait();
    // Ends the current and every later wait with Stopped.
    void Stop();

    // The armed moment, or nullopt when disarmed.
    std::optional<std::int64_t> DueTime() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::optional<std::int64_t> m_due;
    bool m_stopped = false;
};
