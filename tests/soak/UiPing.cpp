#include "UiPing.h"

#include <QCoreApplication>
#include <QEvent>

namespace soak {

namespace {

const QEvent::Type kPingEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CUiPing::CUiPing(std::chrono::milliseconds limit, std::chrono::milliseconds period, StallHandler onStall)
    : m_limit(limit), m_period(period), m_onStall(std::move(onStall))
{}

CUiPing::~CUiPing() { Stop(); }

void CUiPing::Start()
{
    if (m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_stopMutex);
        m_stop = false;
    }
    m_thread = std::thread([this] { Monitor(); });
}

void CUiPing::Stop()
{
    {
        std::lock_guard lock(m_stopMutex);
        m_stop = true;
    }
    m_stopSignal.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CUiPing::customEvent(QEvent* event)
{
    if (event->type() != kPingEvent) {
        return;
    }
    const std::int64_t latency = NowMs() - m_postedAtMs.load();
    if (latency > m_worstMs.load()) {
        m_worstMs.store(latency);
    }
    m_answered.fetch_add(1);
}

void CUiPing::Monitor()
{
    bool reported = false;
    std::unique_lock lock(m_stopMutex);
    while (!m_stop) {
        if (m_answered.load() == m_posted.load()) {
            // The previous ping came back: send the next one.
            reported = false;
            m_postedAtMs.store(NowMs());
            m_posted.fetch_add(1);
            QCoreApplication::postEvent(this, new QEvent(kPingEvent));
        } else {
            const auto age = std::chrono::milliseconds(NowMs() - m_postedAtMs.load());
            if (age > m_limit && !reported) {
                reported = true;  // once per stall
                lock.unlock();
                m_onStall(age);
                lock.lock();
                continue;
            }
        }
        m_stopSignal.wait_for(lock, m_period, [this] { return m_stop; });
    }
}

}  // namespace soak
