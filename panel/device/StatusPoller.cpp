#include "StatusPoller.h"

#include "dialogkit/ControlIds.h"
#include "DeviceAccess.h"
#include "dialogkit/PanelMessage.h"

#include <Talvex.h>

#include <chrono>

namespace {

constexpr auto kStatusPeriod = std::chrono::milliseconds(500);
constexpr int kReplyDelay = TALVEX_REPLY_DELAY_MS;

// The measurements of one cycle, in the order they are read. The first that
// fails ends the cycle.
struct Measurement {
    int id;
    int (*read)(int*, int);
};
constexpr Measurement kMeasurements[] = {
    {IDC_DISP_FREQ, GetFMFreq},
    {IDC_DISP_FWDPOWER, GetFwdPWR},
    {IDC_DISP_SWR, GetStdyWaveRatio},
    {IDC_DISP_LINEVOL, GetLineVol},
    {IDC_DISP_MICVOL, GetMicVol},
    {IDC_DISP_TEMPERATURE, GetTemperature},
};

// Reads the state byte; false when no port is open or the reading failed.
bool ReadState(unsigned char& state)
{
    DeviceAccess lock(g_csDevice);
    return IsOpen() && GetDevState(&state, kReplyDelay);
}

}  // namespace

CStatusPoller::~CStatusPoller() { Stop(); }

void CStatusPoller::Start(QObject* notify)
{
    if (m_hThread.joinable()) {
        return;
    }
    m_hWndNotify = notify;
    m_hThread = std::thread(StatusThreadProc, this);
}

void CStatusPoller::Stop()
{
    if (m_hThread.joinable()) {
        m_stopEvent.Set();
        m_hThread.join();
    }
}

int StatusThreadProc(CStatusPoller* poller)
{
    while (!poller->m_stopEvent.Wait(kStatusPeriod)) {
        unsigned char state = 0;
        if (!ReadState(state)) {
            continue;
        }
        if (state & TALVEX_STATE_STANDBY) {  // nothing else to read
            continue;
        }
        PostPanelMessage(poller->m_hWndNotify, WM_DEVICE_READING, IDC_STATIC_STMONO, state & TALVEX_STATE_MONO);
        for (const Measurement& m : kMeasurements) {
            // Each reading takes the lock on its own, so the operator and the
            // level thread get the line between two readings.
            DeviceAccess lock(g_csDevice);
            int value = 0;
            if (!m.read(&value, kReplyDelay)) {
                break;
            }
            PostPanelMessage(poller->m_hWndNotify, WM_DEVICE_READING, m.id, value);
        }
    }
    return 0;
}
