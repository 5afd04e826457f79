#include "Readings.h"

#include "DeviceAccess.h"

#include <Talvex.h>

namespace {

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

// Reported under the same hold of the device mutex as the exchange that just
// failed, so the code is that exchange's own.
void ReportFailure(const ReadingReport& report, const CDeviceSession& device)
{
    report(ReadingKind::Failure, device.LastError());
}

// Reads the state byte; false when no port is open or the reading failed.
bool ReadState(const ReadingReport& report, unsigned char& state)
{
    CDeviceSession device;
    if (!IsOpen()) {
        return false;
    }
    if (!device.Call(GetDevState, &state)) {
        ReportFailure(report, device);
        return false;
    }
    return true;
}

}  // namespace

void ReadLevel(const ReadingReport& report)
{
    CDeviceSession device;
    int level = 0;
    if (device.CallLevel(GetRtVol, &level)) {
        report(ReadingKind::Level, level);
    } else {
        ReportFailure(report, device);
    }
}

void ReadStatus(const ReadingReport& report)
{
    unsigned char state = 0;
    if (!ReadState(report, state)) {
        return;
    }
    report(ReadingKind::State, state);
    if (state & TALVEX_STATE_STANDBY) {  // nothing else to read
        return;
    }
    report(ReadingKind::Mono, state & TALVEX_STATE_MONO);
    for (const Measurement& m : kMeasurements) {
        // Each reading takes the lock on its own, so the operator and the
        // level thread get the line between two readings.
        CDeviceSession device;
        int value = 0;
        if (!device.Call(m.read, &value)) {
            ReportFailure(report, device);
            break;
        }
        report(m.kind, value);
    }
}
