#pragma once
// The five-row start-up and shut-down schedule held by a front end, the
// timer it is armed on and the scheduler thread that waits for it.
//
// The schedule lock (m_lock) guards the rows, m_nextTask and every arming of
// the timer. It is never held together with the device mutex: the thread only
// emits taskDue, and the device is driven by the front end's handler on its
// own thread.

#include "ScheduleRules.h"
#include "ScheduleTimer.h"
#include "ScheduledTask.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <mutex>
#include <thread>

class CTaskSchedule : public QObject
{
    Q_OBJECT
public:
    CTaskSchedule() = default;
    ~CTaskSchedule() override;
    CTaskSchedule(const CTaskSchedule&) = delete;
    CTaskSchedule& operator=(const CTaskSchedule&) = delete;

    // Starts SchedulerThreadProc. The thread waits until the timer is armed.
    void StartThread();
    // Ends the thread's wait at once and joins it. Safe to call more than once.
    void StopThread();

    // Start-up: reads the rows from `path` and arms the first task due after
    // `now`. 1 when the file was read; 0 when not, and then every row is
    // (now, "Nothing") and nothing is armed.
    int Load(const char* path, std::int64_t now);
    // The live rows, copied under the lock.
    std::array<ScheduledTask, kTaskRows> Snapshot() const;
    // The dialog was confirmed with `rows`: stores them (a row whose moment is
    // before `now` as "Nothing"), writes them into the existing file at `path`
    // and re-arms the timer. The waiting thread picks the new due time up.
    // false when the rows did not all reach the file (then they run from
    // memory only and would be gone at the next start).
    bool Confirm(ConstTaskRows rows, const char* path, std::int64_t now);
    // The timer fired for m_nextTask: returns that row's operation, disables a
    // one-time row or moves an everyday row on by a day, and re-arms. The
    // caller holds m_lock.
    int FireNextTask(std::int64_t now);
    // Arms the timer for the row `rule` chooses and makes it m_nextTask;
    // leaves both alone when no row qualifies. The caller holds m_lock (or
    // the thread has not started).
    void ArmNextTask(ArmRule rule, std::int64_t now);

    std::thread m_thread;
    ScheduleTimer m_timer;
    mutable std::mutex m_lock;  // guards m_tasks, m_nextTask and every arming of m_timer
    ScheduledTask m_tasks[kTaskRows];
    int m_nextTask = 0;

signals:
    // A row fell due: its operation (TASK_*, or 0 for "Nothing"). Emitted on
    // the scheduler thread, without the schedule lock.
    void taskDue(int operation);
};

// Waits on the schedule's timer; on each firing arms the next row and emits
// taskDue with the due row's operation. Returns 0 once the
// wait is stopped.
int SchedulerThreadProc(CTaskSchedule* schedule);
