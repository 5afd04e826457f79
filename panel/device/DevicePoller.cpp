#include "DevicePoller.h"

CDevicePoller::~CDevicePoller() { Stop(); }

void CDevicePoller::Start(QObject* notify)
{
    if (m_hThread.joinable()) {
        return;
    }
    m_hWndNotify = notify;
    m_hThread = std::thread(&CDevicePoller::Run, this);
}

void CDevicePoller::Stop()
{
    if (m_hThread.joinable()) {
        m_stopEvent.Set();
        m_hThread.join();
    }
}

void CDevicePoller::Run()
{
    while (!m_stopEvent.Wait(m_period)) {
        m_cycle(m_hWndNotify);
    }
}
