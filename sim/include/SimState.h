#pragma once
// Value types describing what the simulated transmitter holds and reports.

#include <Talvex.h>

#include <array>
#include <cstdint>
#include <string>

// Everything the transmitter keeps between commands, in the units it uses on
// the wire (frequency in 0.1 MHz, power in 0.1 W, SWR in tenths).
struct SimState {
    bool standby = true;        // TALVEX_STATE_STANDBY
    bool mono = false;          // TALVEX_STATE_MONO
    bool echoOff = true;        // TALVEX_STATE_ECHO_OFF
    bool lineOn = true;         // TALVEX_STATE_LINE_ON
    bool micOff = true;         // TALVEX_STATE_MIC_OFF
    bool backlightOn = true;    // not reported in the state byte
    int frequency = 1000;       // kSimFrequencyRange
    int power = 100;            // kSimPowerRange
    int lineVolume = 7;         // kSimLineVolumeRange
    int micVolume = 15;         // kSimMicVolumeRange
    int temperaturePoint = 65;  // kSimTemperaturePointRange
    int swrPoint = 30;          // kSimSwrPointRange
    std::array<std::uint8_t, 7> serial{0x20, 0x24, 0x03, 0x00, 0x00, 0x17, 0x42};
    std::string version = "13";      // exactly 2 characters go out
    std::string deviceType = "K2 ";  // exactly 3 characters go out

    // The state byte as GetDevState reports it.
    std::uint8_t StateByte() const;
};

// Live readings. While the simulator keeps them live it moves them itself;
// once set from outside they stay frozen until live readings are resumed.
// A held reading (SimTransmitter::HoldReading) overrides either.
struct SimReadings {
    int forwardPower = 0;  // 0.1 W, one byte on the wire
    int reversePower = 0;  // 0.1 W, one byte
    int swr = 11;          // tenths, one byte
    int temperature = 32;  // whole degrees, one byte
    int level = 0;         // 0..65535, two bytes
};

// The readings that can be held at a chosen value while the others move.
// Reverse power is not among them: it follows forward power and SWR.
enum class SimReading { ForwardPower, Swr, Temperature, Level };
inline constexpr SimReading kSimHoldableReadings[] = {SimReading::ForwardPower, SimReading::Swr,
                                                      SimReading::Temperature, SimReading::Level};

// The ranges the transmitter accepts for its settings.
struct SimRange {
    int low;
    int high;
    bool Contains(int value) const { return value >= low && value <= high; }
};
inline constexpr SimRange kSimFrequencyRange{TALVEX_FREQ_MIN, TALVEX_FREQ_MAX};
inline constexpr SimRange kSimPowerRange{TALVEX_POWER_MIN, TALVEX_POWER_MAX};
inline constexpr SimRange kSimLineVolumeRange{TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX};
inline constexpr SimRange kSimMicVolumeRange{TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX};
inline constexpr SimRange kSimTemperaturePointRange{TALVEX_TEMP_POINT_MIN, TALVEX_TEMP_POINT_MAX};
inline constexpr SimRange kSimSwrPointRange{TALVEX_SWR_POINT_MIN, TALVEX_SWR_POINT_MAX};
