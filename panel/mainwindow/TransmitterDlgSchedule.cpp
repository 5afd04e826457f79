// The main window's side of the schedule: loading it at start-up, the
// "Scheduled Task" button, and running a task that fell due.
#include "TransmitterDlg.h"

#include "device/DeviceAccess.h"
#include "dialogkit/MessageBox.h"
#include "schedule/LocalTime.h"
#include "schedule/ScheduleFile.h"
#include "schedule/ScheduledTaskDlg.h"

#include <Talvex.h>

#include <algorithm>

namespace {

constexpr int kReplyDelayMs = TALVEX_REPLY_DELAY_MS;

}  // namespace

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

void CTransmitterDlg::OnScheduledTaskDue(std::intptr_t operation, std::intptr_t)
{
    // Never under the schedule lock: the two locks are not held together.
    DeviceAccess lock(g_csDevice);
    switch (operation) {
    case TASK_STARTUP:
        // Walks the port list from its first name, as connecting does; a
        // refusal still counts as an answer.
        if (ProbePortList()) {
            m_bPowerOff = 0;
        }
        break;
    case TASK_SHUTDOWN:
        if (ShutDown(kReplyDelayMs)) {
            m_bPowerOff = 1;
        }
        break;
    default:  // "Nothing", or a code no operation has
        break;
    }
    // Failures are silent; the button shows whatever the flag now says.
    PaintButton(m_btnPower, m_bPowerOff ? m_clrIdle : m_clrActive);
}
