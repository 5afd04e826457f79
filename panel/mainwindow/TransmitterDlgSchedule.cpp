// The main window's side of the schedule: loading it at start-up, the
// "Scheduled Task" button, and running a task that fell due.
#include "TransmitterDlg.h"

#include "core/LocalTime.h"
#include "core/ScheduleFile.h"
#include "dialogkit/MessageBox.h"
#include "schedule/ScheduledTaskDlg.h"

#include <algorithm>

int CTransmitterDlg::LoadSchedule() { return m_schedule.Load(kScheduleFileName, NowSeconds()); }

void CTransmitterDlg::OnScheduledTask()
{
    CScheduledTaskDlg dialog(this);
    // The schedule lock is not held while the dialog is open: the thread must
    // be able to fire meanwhile (OK then overwrites what it changed).
    const auto rows = m_schedule.Snapshot();
    std::copy(rows.begin(), rows.end(), dialog.m_tasks);
    if (dialog.DoModal() != IDC_OK) {
        return;
    }
    // The schedule runs either way; the operator must know when it will not
    // survive the next start. Shown after the schedule lock is released.
    if (!m_schedule.Confirm(dialog.m_tasks, kScheduleFileName, NowSeconds())) {
        PanelMessageBox(this, QStringLiteral("Save config.xml Fail"), QStringLiteral("Error"));
    }
}

void CTransmitterDlg::OnScheduledTaskDue(int operation)
{
    // Once the window has stopped, a late firing is dropped.
    if (m_core.IsStopped()) {
        return;
    }
    switch (operation) {
    case TASK_STARTUP: m_core.ScheduledStartUp(); break;
    case TASK_SHUTDOWN: m_core.ScheduledShutDown(); break;
    default: break;  // "Nothing", or a code no operation has
    }
    // Failures are silent; the button shows whatever the flag now says.
    PaintButton(m_btnPower, m_core.IsPowerOn() ? m_clrActive : m_clrIdle);
}
