#pragma once
// What the pollers read: each reading is reported as (ReadingKind, value) to
// the poller's listener; the front end decides where each kind is shown.

#include <QMetaType>
#include <chrono>
#include <functional>

enum class ReadingKind {
    Level,         // real-time audio level, raw
    Mono,          // nonzero: mono sound (the state byte's mono bit)
    Frequency,     // 0.1 MHz
    ForwardPower,  // 0.1 W
    Swr,           // tenths
    LineVolume,
    MicVolume,
    Temperature,  // degrees
    State,        // the state byte (TALVEX_STATE_*), first in every status cycle
    Failure,      // an exchange failed; the value is its failure code
};
Q_DECLARE_METATYPE(ReadingKind)

// Where a cycle reports each reading; called on the poller's thread.
using ReadingReport = std::function<void(ReadingKind kind, int value)>;

// The level cycle: one GetRtVol every 100 ms.
constexpr auto kLevelPeriod = std::chrono::milliseconds(100);
void ReadLevel(const ReadingReport& report);

// The status cycle, every 500 ms: the device state and, while the
// transmitter is on, the mono flag and six measurements.
constexpr auto kStatusPeriod = std::chrono::milliseconds(500);
void ReadStatus(const ReadingReport& report);
