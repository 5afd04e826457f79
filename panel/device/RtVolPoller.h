#pragma once
// The level thread: reads the real-time audio level every 100 ms and posts
// it to the main window.

#include "AutoResetEvent.h"

#include <QObject>
#include <thread>

class CRtVolPoller
{
public:
    CRtVolPoller() = default;
    virtual ~CRtVolPoller();

    // Starts RtVolThreadProc, posting to `notify`.
    void Start(QObject* notify);
    // Signals the stop event and waits until the thread has ended.
    void Stop();

    QObject* m_hWndNotify = nullptr;  // receives WM_DEVICE_READING
    std::thread m_hThread;
    AutoResetEvent m_stopEvent;
};

int RtVolThreadProc(CRtVolPoller* poller);
