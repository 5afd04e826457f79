#pragma once
// What the transmitter does with a request: the command table, the settings
// it keeps, the ranges it refuses and the readings it reports.

#include "SimState.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace sim {

class DeviceModel
{
public:
    using Clock = std::chrono::steady_clock;
    using Bytes = std::vector<std::uint8_t>;

    explicit DeviceModel(unsigned seed);

    // Carries out one complete frame (0x01, count, code, parameter) and
    // returns the answer: "OK" and the command's data bytes, or "ER" for an
    // unknown code, a wrong parameter count or a value out of range.
    Bytes Execute(const Bytes& frame, Clock::time_point now);

    // Moves the live readings along to `now` (no-op while they are frozen),
    // then puts the held readings back on top.
    void Advance(Clock::time_point now);

    const SimState& State() const { return m_state; }
    void SetState(const SimState& state) { m_state = state; }
    const SimReadings& Readings() const { return m_readings; }
    void SetReadings(const SimReadings& readings);
    void SetLive(bool live) { m_live = live; }
    // Holds one reading at `value` (wire units) over live and frozen readings
    // alike; reverse power is worked out again from the forward power and SWR.
    void HoldReading(SimReading reading, int value);
    // The reading moves on by itself from the value it was held at, so a held
    // temperature drifts back rather than jumping.
    void ReleaseReading(SimReading reading);

private:
    Bytes Reading(std::uint8_t code) const;
    void Move(Clock::time_point now);
    void ApplyHolds();

    SimState m_state;
    SimReadings m_readings;
    bool m_live = true;
    std::array<std::optional<int>, std::size(kSimHoldableReadings)> m_holds;  // by SimReading
    std::minstd_rand m_random;
    Clock::time_point m_start;
    Clock::time_point m_lastTemperatureStep;
};

}  // namespace sim
