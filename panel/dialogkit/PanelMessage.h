#pragma once
// Window messages posted to the main window. The numbers are the original
// window-message values (the platform's first user message, 0x0400, + n)
// and double as Qt event types, which Qt accepts from QEvent::User (1000)
// upwards.

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <cstdint>

constexpr int kUserMessage = 0x0400;                   // the platform's WM_USER
constexpr int WM_DEVICE_READING = kUserMessage + 100;  // 1124: (ReadingKind, value) from the pollers
constexpr int WM_SCHEDULED_TASK = kUserMessage + 200;  // 1224: (operation, 0) from the scheduler thread

// A posted window message: the event type is the message number.
class PanelMessage : public QEvent
{
public:
    PanelMessage(int message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)), m_wParam(wParam), m_lParam(lParam)
    {}

    int message() const { return static_cast<int>(type()); }
    std::intptr_t wParam() const { return m_wParam; }
    std::intptr_t lParam() const { return m_lParam; }

private:
    std::intptr_t m_wParam = 0;
    std::intptr_t m_lParam = 0;
};

// The hand-over of a message from the thread that builds it to the thread
// that reads it. Qt orders a post before its delivery with a lock of its own,
// which a thread checker cannot see inside a Qt that was not built for it;
// this counter states the same order where it can: released by every post
// after the message is built, acquired before a received event is read.
inline std::atomic<unsigned> g_panelMessageHandOver{0};

// Posts a message to `target` from any thread; never blocks. The target must
// outlive every thread that posts to it (the main window joins its threads).
inline void PostPanelMessage(QObject* target, int message, std::intptr_t wParam, std::intptr_t lParam)
{
    auto* event = new PanelMessage(message, wParam, lParam);
    g_panelMessageHandOver.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(target, event);
}

// The panel message in `event`, or null when it is some other event. Use it
// before reading anything of an event that another thread may have posted
// (the type included), so that the post is seen to come first.
inline const PanelMessage* AsPanelMessage(const QEvent* event)
{
    g_panelMessageHandOver.load(std::memory_order_acquire);
    const int type = static_cast<int>(event->type());
    if (type == WM_DEVICE_READING || type == WM_SCHEDULED_TASK) {
        return static_cast<const PanelMessage*>(event);
    }
    return nullptr;
}
