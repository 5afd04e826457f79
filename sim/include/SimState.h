#pragma once
// Value types describing what the simulated transmitter holds and reports.

#include <array>
#include <cstdint>
#include <string>

// Everything the transmitter keeps between commands, in the units it uses on
// the wire (frequency in 0.1 MHz, power in 0.1 W, SWR in tenths).
struct SimState {
    bool standby = true;       // state bit 0
    bool mono = false;         // state bit 2
    bool echoOff = true;       // state bit 4
    bool lineOn = true;        // state bit 5
    bool micOff = true;        // state bit 6
    bool backlightOn = true;   // not reported in the state byte
    int frequency = 1000;      // 870..1080
    int power = 100;           // 3..150
    int lineVolume = 7;        // 1..13
    int micVolume = 15;        // 1..30
    int temperaturePoint = 65; // 50..70
    int swrPoint = 30;         // 20..40
    std::array<std::uint8_t, 7> serial{0x20, 0x24, 0x03, 0x00, 0x00, 0x17, 0x42};
    std::string version = "13"; // exactly 2 characters go out
    std::string deviceType = "K2 "; // exactly 3 characters go out

    // The state byte as GetDevState reports it.
    std::uint8_t StateByte() const;
};

// Live readings. While the simulator keeps them live it moves them itself;
// once set from outside they stay frozen until live readings are resumed.
struct SimReadings {
    int forwardPower = 0;  // 0.1 W, one byte on the wire
    int reversePower = 0;  // 0.1 W, one byte
    int swr = 11;          // tenths, one byte
    int temperature = 32;  // whole degrees, one byte
    int level = 0;         // 0..65535, two bytes
};

// The ranges the transmitter accepts for its settings.
struct SimRange {
    int low;
    int high;
    bool Contains(int value) const { return value >= low && value <= high; }
};
inline constexpr SimRange kSimFrequencyRange{870, 1080};
inline constexpr SimRange kSimPowerRange{3, 150};
inline constexpr SimRange kSimLineVolumeRange{1, 13};
inline constexpr SimRange kSimMicVolumeRange{1, 30};
inline constexpr SimRange kSimTemperaturePointRange{50, 70};
inline constexpr SimRange kSimSwrPointRange{20, 40};
