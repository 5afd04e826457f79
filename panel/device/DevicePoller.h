#pragma once
// A background thread that runs one reading cycle every period until it is
// stopped, posting what it reads to the main window as WM_DEVICE_READING.
// The panel runs two: the level (ReadLevel, every 100 ms) and the status
// (ReadStatus, every 500 ms); Readings.h has both cycles.

#include "AutoResetEvent.h"

#include <QObject>
#include <chrono>
#include <thread>

class CDevicePoller
{
public:
    // One cycle: reads and posts to `notify`; runs on the poller's thread.
    using Cycle = void (*)(QObject* notify);

    CDevicePoller(std::chrono::milliseconds period, Cycle cycle) : m_period(period), m_cycle(cycle) {}
    ~CDevicePoller();
    CDevicePoller(const CDevicePoller&) = delete;
    CDevicePoller& operator=(const CDevicePoller&) = delete;

    // Starts the thread, posting to `notify`; nothing when it runs already.
    void Start(QObject* notify);
    // Signals the stop event and waits until the thread has ended.
    void Stop();

    std::thread m_hThread;
    AutoResetEvent m_stopEvent;

private:
    void Run();

    const std::chrono::milliseconds m_period;
    const Cycle m_cycle;
    QObject* m_hWndNotify = nullptr;  // receives WM_DEVICE_READING
};
