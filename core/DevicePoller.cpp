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
    const ReadingReport report = [this](ReadingKind kind, int value) { emit reading(kind, value); };
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
    }
}
