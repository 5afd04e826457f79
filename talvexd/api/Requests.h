#pragma once
// The bodies clients send, checked before anything reaches the transmitter:
// the settings, the protection points and the schedule's rows. Pure: text in,
// a list of changes or the one thing wrong with it out.

#include "core/ScheduledTask.h"
#include "core/TransmitterCore.h"

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace talvexd {

// What is wrong with a body: the key it concerns (empty for the body as a
// whole) and why, in words for the client.
struct RequestError {
    std::string key;
    std::string message;
};

// One setting to change, in the device's units (tenths for MHz and W; 1 or
// 0 for the on/off keys: on, stereo, enabled).
struct SettingChange {
    enum class Kind { Frequency, Power, LineVolume, MicVolume, Transmitter, Sound, Echo, Line, Mic };
    Kind kind;
    int value;
    const char* key;  // as the client named it
};

// PUT /api/v1/settings: the changes in the order they are applied
// (frequency_mhz, power_setting_w, line_volume_step, mic_volume_step,
// transmitter, sound, echo_on, line_on, mic_on), whatever the body's order.
std::variant<std::vector<SettingChange>, RequestError> ParseSettings(const std::string& body);

struct PointChange {
    CTransmitterCore::Point point;
    int value;  // degrees, or SWR tenths
    const char* key;
};
// PUT /api/v1/protection: temperature_point_c, swr_point_ratio.
std::variant<std::vector<PointChange>, RequestError> ParseProtection(const std::string& body);

using ScheduleRows = std::array<ScheduledTask, kTaskRows>;
// PUT /api/v1/schedule: {"rows": [five {"date", "time", "operation"}]},
// made into rows as the schedule dialog makes them at `now`.
std::variant<ScheduleRows, RequestError> ParseSchedule(const std::string& body, std::int64_t now);

// The operation names of the schedule's rows: "nothing", "start_up",
// "shut_down".
const char* OperationName(int operation);

}  // namespace talvexd
