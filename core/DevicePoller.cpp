#include "DevicePoller.h"

CDevicePoller::CDevicePoller(std::chrono::milliseconds period, Cycle cycle, QObject* parent)
    : QObject(parent), m_period(period), m_cycle(cycle)
{}

CDevicePoller::~CDevicePoller() { Stop(); }

void CDevicePoller::Start()
{
    if (!m_thread.joinable()) {
        m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
    }
}

void CDevicePoller::Stop()
{
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

void CDevicePoller::Run(std::stop_token stop)
{
    const ReadingReport report = [this](ReadingKind kind, int value) { HandOver({kind, value}); };
    for (;;) {
        {
            std::unique_lock lock(m_waitLock);
            // Returns early only when the stop is asked for.
            m_wake.wait_for(lock, stop, m_period, [] { return false; });
        }
        if (stop.stop_requested()) {
            return;
        }
        m_cycle(report);
        m_cycles.fetch_add(1, std::memory_order_relaxed);
    }
}

void CDevicePoller::HandOver(Reading reading)
{
    bool first = false;
    {
        std::lock_guard lock(m_pendingLock);
        first = m_pending.empty();
        m_pending.push_back(reading);
    }
    // One wake-up for however many readings arrive before it is handled.
    if (first) {
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
    }
}

void CDevicePoller::Deliver()
{
    std::vector<Reading> readings;
    {
        std::lock_guard lock(m_pendingLock);
        readings.swap(m_pending);
    }
    for (const Reading& r : readings) {
        emit reading(r.kind, r.value);
    }
}
