#pragma once
// The five-row start-up and shut-down schedule held by the main window, the
// timer it is armed on and the scheduler thread that waits for it.

#include "ScheduleTimer.h"
#include "ScheduledTask.h"

#include <QObject>
#include <mutex>
#include <thread>

class CTaskSchedule
{
public:
    CTaskSchedule() = default;
    virtual ~CTaskSchedule();

    // Starts SchedulerThreadProc. The thread waits until the timer is armed.
    void StartThread();
    // Ends the thread's wait at once and joins it. Safe to call more than once.
    void StopThread();

    QObject* m_hWnd = nullptr;     // receives WM_SCHEDULED_TASK
    std::thread m_hThread;
    ScheduleTimer m_timer;
    std::mutex m_lock;             // guards m_tasks, m_nextTask and every arming of m_timer
    ScheduledTask m_tasks[kTaskRows];
    int m_nextTask = 0;
};

int SchedulerThreadProc(CTaskSchedule* schedule);
