#include "PanelEventCounter.h"

#include "device/Readings.h"
#include "dialogkit/PanelMessage.h"

namespace soak {

bool CPanelEventCounter::eventFilter(QObject* watched, QEvent* event)
{
    const int type = static_cast<int>(event->type());
    if (type == WM_DEVICE_READING) {
        // A failed exchange is posted too, for the metrics; it shows nothing.
        const auto kind = static_cast<ReadingKind>(static_cast<const PanelMessage*>(event)->wParam());
        m_readings += kind != ReadingKind::Failure ? 1 : 0;
    } else if (type == WM_SCHEDULED_TASK) {
        ++m_tasks[static_cast<int>(static_cast<const PanelMessage*>(event)->wParam())];
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace soak
