#include "Readings.h"

#include "DeviceAccess.h"
#include "dialogkit/PanelMessage.h"

#include <Talvex.h>

namespace {

constexpr int kReplyDelay = TALVEX_REPLY_DELAY_MS;

void Post(QObject* notify, ReadingKind kind, int value)
{
    PostPanelMessage(notify, WM_DEVICE_READING, static_cast<std::intptr_t>(kind), value);
}

// The measurements of one cycle, in the order they are read. The first that
// fails ends the cycle.
struct Measurement {
    ReadingKind kind;
    int (*read)(int*, int);
};
constexpr Measurement kMeasurements[] = {
    {ReadingKind::Frequency, GetFMFreq},  {ReadingKind::ForwardPower, GetFwdPWR},
    {ReadingKind::Swr, GetStdyWaveRatio}, {ReadingKind::LineVolume, GetLineVol},
    {ReadingKind::MicVolume, GetMicVol},  {ReadingKind::Temperature, GetTemperature},
};

// Posts the failure code of the exchange that just failed, under the same
// hold of the device mutex, so the code is that exchange's own.
void PostFailure(QObject* notify) { Post(notify, ReadingKind::Failure, GetLastCommError()); }

// Reads the state byte; false when no port is open or the reading failed.
bool ReadState(QObject* notify, unsigned char& state)
{
    DeviceAccess lock(g_csDevice);
    if (!IsOpen()) {
        return false;
    }
    if (!GetDevState(&state, kReplyDelay)) {
        PostFailure(notify);
        return false;
    }
    return true;
}

}  // namespace

void ReadLevel(QObject* notify)
{
    DeviceAccess lock(g_csDevice);
    int level = 0;
    if (GetRtVol(&level, TALVEX_LEVEL_REPLY_DELAY_MS)) {
        Post(notify, ReadingKind::Level, level);
    } else {
        PostFailure(notify);
    }
}

void ReadStatus(QObject* notify)
{
    unsigned char state = 0;
    if (!ReadState(notify, state)) {
        return;
    }
    if (state & TALVEX_STATE_STANDBY) {  // nothing else to read
        return;
    }
    Post(notify, ReadingKind::Mono, state & TALVEX_STATE_MONO);
    for (const Measurement& m : kMeasurements) {
        // Each reading takes the lock on its own, so the operator and the
        // level thread get the line between two readings.
        DeviceAccess lock(g_csDevice);
        int value = 0;
        if (!m.read(&value, kReplyDelay)) {
            PostFailure(notify);
            break;
        }
        Post(notify, m.kind, value);
    }
}
