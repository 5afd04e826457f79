#include "RtVolPoller.h"

#include "dialogkit/ControlIds.h"
#include "DeviceAccess.h"
#include "dialogkit/PanelMessage.h"

#include <Talvex.h>

#include <chrono>

namespace {
constexpr auto kLevelPeriod = std::chrono::milliseconds(100);
constexpr int kLevelReplyDelay = TALVEX_LEVEL_REPLY_DELAY_MS;
}

CRtVolPoller::~CRtVolPoller() { Stop(); }

void CRtVolPoller::Start(QObject* notify)
{
    if (m_hThread.joinable()) {
        return;
    }
    m_hWndNotify = notify;
    m_hThread = std::thread(RtVolThreadProc, this);
}

void CRtVolPoller::Stop()
{
    if (m_hThread.joinable()) {
        m_stopEvent.Set();
        m_hThread.join();
    }
}

int RtVolThreadProc(CRtVolPoller* poller)
{
    while (!poller->m_stopEvent.Wait(kLevelPeriod)) {
        DeviceAccess lock(g_csDevice);
        int level = 0;
        if (GetRtVol(&level, kLevelReplyDelay)) {
            PostPanelMessage(poller->m_hWndNotify, WM_DEVICE_READING, IDC_PROGRESS_AUDIO, level);
        }
    }
    return 0;
}
