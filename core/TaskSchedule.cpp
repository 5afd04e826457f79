#include "TaskSchedule.h"

#include "LocalTime.h"
#include "ScheduleFile.h"

#include <algorithm>

CTaskSchedule::~CTaskSchedule()
{
    // The thread holds a pointer to this object and waits on its timer.
    StopThread();
}

void CTaskSchedule::StartThread()
{
    if (!m_thread.joinable()) {
        m_thread = std::thread(SchedulerThreadProc, this);
    }
}

void CTaskSchedule::StopThread()
{
    m_timer.Stop();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
}

int CTaskSchedule::Load(const char* path, std::int64_t now)
{
    std::lock_guard lock(m_lock);
    TaskRecords records;
    if (!ReadScheduleFile(path, records)) {
        for (ScheduledTask& task : m_tasks) {
            task = {now, TASK_NOTHING};
        }
        return 0;
    }
    for (int i = 0; i < kTaskRows; ++i) {
        m_tasks[i] = RowFromRecord(records[i], i, now);
    }
    ArmNextTask(ArmRule::Load, now);
    return 1;
}

std::array<ScheduledTask, kTaskRows> CTaskSchedule::Snapshot() const
{
    std::lock_guard lock(m_lock);
    std::array<ScheduledTask, kTaskRows> rows;
    std::copy(std::begin(m_tasks), std::end(m_tasks), rows.begin());
    return rows;
}

bool CTaskSchedule::Confirm(ConstTaskRows rows, const char* path, std::int64_t now)
{
    std::lock_guard lock(m_lock);
    ApplyConfirmedRows(m_tasks, rows, now);
    TaskRecords records;
    for (int i = 0; i < kTaskRows; ++i) {
        records[i] = RecordFromRow(m_tasks[i]);
    }
    // Firings are never written back; the file changes only here. A missing
    // or unreadable file is left alone: the schedule still runs from memory.
    const bool saved = WriteScheduleFile(path, records) == ScheduleSave::Saved;
    ArmNextTask(ArmRule::Dialog, now);
    return saved;
}

int CTaskSchedule::FireNextTask(std::int64_t now)
{
    const int operation = m_tasks[m_nextTask].operation;
    AdvanceFiredTask(m_tasks, m_nextTask);
    ArmNextTask(ArmRule::AfterFiring, now);
    return operation;
}

void CTaskSchedule::ArmNextTask(ArmRule rule, std::int64_t now)
{
    if (const auto choice = ::ArmNextTask(m_tasks, rule, now)) {
        m_nextTask = choice->index;
        // Armed for the moment itself, in absolute time: a daylight-saving
        // change between now and then does not move the firing.
        m_timer.Arm(choice->due);
    }
}

int SchedulerThreadProc(CTaskSchedule* schedule)
{
    while (schedule->m_timer.Wait() == ScheduleTimer::WaitResult::Fired) {
        int operation = TASK_NOTHING;
        {
            std::lock_guard lock(schedule->m_lock);
            operation = schedule->FireNextTask(NowSeconds());
        }
        // Emitted also for operation 0: the listener then only repaints.
        emit schedule->taskDue(operation);
    }
    return 0;
}
