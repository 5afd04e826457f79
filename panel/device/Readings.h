#pragma once
// What the pollers read and post to the main window: WM_DEVICE_READING
// carries (ReadingKind, value). The main window decides where each kind is
// shown.

#include <QObject>
#include <chrono>

enum class ReadingKind {
    Level,         // real-time audio level, raw
    Mono,          // nonzero: mono sound (the state byte's mono bit)
    Frequency,     // 0.1 MHz
    ForwardPower,  // 0.1 W
    Swr,           // tenths
    LineVolume,
    MicVolume,
    Temperature,  // degrees
    Failure,      // an exchange failed; the value is its failure code
};

// The level cycle: one GetRtVol every 100 ms.
constexpr auto kLevelPeriod = std::chrono::milliseconds(100);
void ReadLevel(QObject* notify);

// The status cycle, every 500 ms: the device state and, while the
// transmitter is on, the mono flag and six measurements.
constexpr auto kStatusPeriod = std::chrono::milliseconds(500);
void ReadStatus(QObject* notify);
