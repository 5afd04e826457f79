#include "DeviceModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

enum class Action { Switch, Setting, Reading };

struct Command {
    std::uint8_t code;
    std::uint8_t paramBytes;
    std::uint8_t dataBytes;
    Action action;
    bool SimState::*flag;    // Switch: the member it sets ...
    bool flagValue;          // ... to this value
    int SimState::*setting;  // Setting: the member it stores
    SimRange range;          // Setting: what is accepted
};

constexpr SimRange kNoRange{0, 0};

constexpr Command Switch(std::uint8_t code, bool SimState::*flag, bool value)
{
    return {code, 0, 0, Action::Switch, flag, value, nullptr, kNoRange};
}
constexpr Command Setting(std::uint8_t code, std::uint8_t params, int SimState::*member, SimRange range)
{
    return {code, params, 0, Action::Setting, nullptr, false, member, range};
}
constexpr Command Read(std::uint8_t code, std::uint8_t dataBytes)
{
    return {code, 0, dataBytes, Action::Reading, nullptr, false, nullptr, kNoRange};
}

constexpr Command kCommands[] = {
    Switch(0x02, &SimState::standby, true),
    Switch(0x03, &SimState::standby, false),
    Switch(0x04, &SimState::lineOn, false),
    Switch(0x05, &SimState::micOff, true),
    Switch(0x06, &SimState::lineOn, true),
    Switch(0x07, &SimState::micOff, false),
    Switch(0x08, &SimState::echoOff, true),
    Switch(0x09, &SimState::echoOff, false),
    Switch(0x0A, &SimState::backlightOn, true),
    Switch(0x0B, &SimState::backlightOn, false),
    Switch(0x0C, &SimState::mono, false),
    Switch(0x0D, &SimState::mono, true),
    Setting(0x0E, 2, &SimState::frequency, kSimFrequencyRange),
    Setting(0x0F, 1, &SimState::lineVolume, kSimLineVolumeRange),
    Setting(0x10, 1, &SimState::micVolume, kSimMicVolumeRange),
    Setting(0x11, 1, &SimState::power, kSimPowerRange),
    Setting(0x12, 1, &SimState::swrPoint, kSimSwrPointRange),
    Setting(0x13, 1, &SimState::temperaturePoint, kSimTemperaturePointRange),
    Read(0x14, 1),
    Read(0x15, 1),
    Read(0x16, 1),
    Read(0x17, 1),
    Read(0x18, 1),
    Read(0x19, 7),
    Read(0x1A, 2),
    Read(0x1B, 3),
    Read(0x1C, 2),
    Read(0x1D, 1),
    Read(0x1E, 1),
    Read(0x1F, 1),
    Read(0x20, 1),
    Read(0x21, 1),
    Read(0x22, 2),
};

const Command* Find(std::uint8_t code)
{
    for (const Command& c : kCommands)
        if (c.code == code)
            return &c;
    return nullptr;
}

const DeviceModel::Bytes kRefusal{'E', 'R'};

std::uint8_t Byte(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

void AppendText(DeviceModel::Bytes& out, const std::string& text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        out.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : std::uint8_t{' '});
}

// Temperature the housing settles at: warmer the harder it transmits.
int SettlingTemperature(const SimState& s) { return s.standby ? 28 : 34 + s.power / 10; }

constexpr std::chrono::seconds kTemperatureStep{3};

// The member each SimReading stands for, in the enumeration's order.
constexpr int SimReadings::*kHeldMember[] = {&SimReadings::forwardPower, &SimReadings::swr, &SimReadings::temperature,
                                             &SimReadings::level};
static_assert(std::size(kHeldMember) == std::size(kSimHoldableReadings));

// Reflected share of the forward power for this standing-wave ratio.
int ReversePower(int forwardPower, int swr)
{
    const double gamma = (swr - 10.0) / (swr + 10.0);
    return static_cast<int>(std::lround(forwardPower * gamma * gamma));
}

}  // namespace

DeviceModel::DeviceModel(unsigned seed)
    : m_random(seed == 0 ? 1 : seed), m_start(Clock::now()), m_lastTemperatureStep(m_start)
{
    m_readings.temperature = SettlingTemperature(m_state);
}

void DeviceModel::SetReadings(const SimReadings& readings)
{
    m_readings = readings;
    m_live = false;
    ApplyHolds();
}

void DeviceModel::HoldReading(SimReading reading, int value)
{
    m_holds[static_cast<std::size_t>(reading)] = value;
    ApplyHolds();
}

void DeviceModel::ReleaseReading(SimReading reading) { m_holds[static_cast<std::size_t>(reading)].reset(); }

void DeviceModel::ApplyHolds()
{
    for (std::size_t i = 0; i < m_holds.size(); ++i)
        if (m_holds[i])
            m_readings.*kHeldMember[i] = *m_holds[i];
    const auto held = [this](SimReading r) { return m_holds[static_cast<std::size_t>(r)].has_value(); };
    if (held(SimReading::ForwardPower) || held(SimReading::Swr))
        m_readings.reversePower = ReversePower(m_readings.forwardPower, m_readings.swr);
}

DeviceModel::Bytes DeviceModel::Execute(const Bytes& frame, Clock::time_point now)
{
    if (frame.size() < 3 || frame[0] != 0x01 || frame[1] + 2u != frame.size())
        return kRefusal;
    const Command* c = Find(frame[2]);
    if (!c || c->paramBytes + 3u != frame.size())
        return kRefusal;

    Bytes answer{'O', 'K'};
    switch (c->action) {
    case Action::Switch: m_state.*(c->flag) = c->flagValue; break;
    case Action::Setting: {
        const int value = c->paramBytes == 2 ? frame[3] * 256 + frame[4] : frame[3];
        if (!c->range.Contains(value))
            return kRefusal;
        m_state.*(c->setting) = value;
        break;
    }
    case Action::Reading: {
        Advance(now);
        Bytes data = Reading(c->code);
        data.resize(c->dataBytes);  // the table fixes the length on the wire
        answer.insert(answer.end(), data.begin(), data.end());
        break;
    }
    }
    return answer;
}

DeviceModel::Bytes DeviceModel::Reading(std::uint8_t code) const
{
    const SimState& s = m_state;
    const SimReadings& r = m_readings;
    switch (code) {
    case 0x14: return {Byte(r.forwardPower)};
    case 0x15: return {Byte(r.reversePower)};
    case 0x16: return {Byte(r.swr)};
    case 0x17: return {Byte(r.temperature)};
    case 0x18: return {s.StateByte()};
    case 0x19: return Bytes(s.serial.begin(), s.serial.end());
    case 0x1A: {
        Bytes b;
        AppendText(b, s.version, 2);
        return b;
    }
    case 0x1B: {
        Bytes b;
        AppendText(b, s.deviceType, 3);
        return b;
    }
    case 0x1C: return {Byte(s.frequency >> 8), Byte(s.frequency & 0xFF)};
    case 0x1D: return {Byte(s.lineVolume)};
    case 0x1E: return {Byte(s.micVolume)};
    case 0x1F: return {Byte(s.power)};
    case 0x20: return {Byte(s.temperaturePoint)};
    case 0x21: return {Byte(s.swrPoint)};
    case 0x22: {
        const int level = std::clamp(r.level, 0, 0xFFFF);
        return {Byte(level >> 8), Byte(level & 0xFF)};
    }
    default: return {};
    }
}

void DeviceModel::Advance(Clock::time_point now)
{
    if (m_live)
        Move(now);
    ApplyHolds();
}

void DeviceModel::Move(Clock::time_point now)
{
    SimReadings& r = m_readings;
    r.forwardPower = m_state.standby ? 0 : m_state.power;
    r.swr = 10 + static_cast<int>(m_random() % 4);
    r.reversePower = ReversePower(r.forwardPower, r.swr);

    while (now - m_lastTemperatureStep >= kTemperatureStep) {
        m_lastTemperatureStep += kTemperatureStep;
        const int target = SettlingTemperature(m_state);
        if (r.temperature < target)
            ++r.temperature;
        else if (r.temperature > target)
            --r.temperature;
    }

    const bool audioIn = m_state.lineOn || !m_state.micOff;
    if (!audioIn) {
        r.level = static_cast<int>(m_random() % 12);
    } else {
        const double t = std::chrono::duration<double>(now - m_start).count();
        const double swing =
            std::sin(2.0 * std::numbers::pi * 0.3 * t) + 0.5 * std::sin(2.0 * std::numbers::pi * 1.7 * t);
        // Programme audio mostly inside the meter's 0..255 with peaks above it,
        // as a transmitter fed at the usual level reports it.
        const int noise = static_cast<int>(m_random() % 50);
        r.level = std::clamp(static_cast<int>(140 + 100 * swing) + noise, 0, 0xFFFF);
    }
}

}  // namespace sim
