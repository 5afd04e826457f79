#include "PanelEventCounter.h"

#include "mainwindow/TransmitterDlg.h"

namespace soak {

void CPanelEventCounter::Watch(CTransmitterDlg& dlg)
{
    connect(&dlg.Core(), &CTransmitterCore::readingArrived, this, [this](ReadingKind kind, int) {
        // A failed exchange is reported too, for the metrics; it shows nothing.
        m_readings += kind != ReadingKind::Failure ? 1 : 0;
    });
    // Queued, as the window receives it: the scheduler's thread emits it.
    connect(
        &dlg.Schedule(), &CTaskSchedule::taskDue, this, [this](int operation) { ++m_tasks[operation]; },
        Qt::QueuedConnection);
}

}  // namespace soak
