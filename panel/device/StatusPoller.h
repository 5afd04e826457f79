#pragma once
// The status thread: every 500 ms reads the device state and, while the
// transmitter is on, six measurements, and posts each to the main window.

#include "AutoResetEvent.h"

#include <QObject>
#include <thread>

class CStatusPoller
{
public:
    CStatusPoller() = default;
    virtual ~CStatusPoller();

    // Starts StatusThreadProc, posting to `notify`.
    void Start(QObject* notify);
    // Signals the stop event and waits until the thread has ended.
    void Stop();

    QObject* m_hWndNotify = nullptr;  // receives WM_DEVICE_READING
    std::thread m_hThread;
    AutoResetEvent m_stopEvent;
};

int StatusThreadProc(CStatusPoller* poller);
