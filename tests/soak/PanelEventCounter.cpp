#include "PanelEventCounter.h"

#include "dialogkit/PanelMessage.h"

namespace soak {

bool CPanelEventCounter::eventFilter(QObject* watched, QEvent* event)
{
    const int type = static_cast<int>(event->type());
    if (type == WM_DEVICE_READING) {
        ++m_readings;
    } else if (type == WM_SCHEDULED_TASK) {
        ++m_tasks[static_cast<int>(static_cast<const PanelMessage*>(event)->wParam())];
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace soak
