#include "Requests.h"

#include "core/LocalTime.h"
#include "core/ScheduleRules.h"

#include <Talvex.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <optional>

namespace talvexd {

namespace {

using Json = nlohmann::json;
using Kind = SettingChange::Kind;
using Quantity = CTransmitterCore::Quantity;

// How a key's value is read and what it may be.
enum class ValueType { Tenths, Steps, Choice, Flag };

struct KeyRule {
    const char* key;
    Kind kind;
    ValueType type;
    int minimum = 0;  // device units
    int maximum = 0;
    const char* range = "";
    const char* choices[2] = {nullptr, nullptr};  // Choice: the names of 1 and of 0
};

// In the order the changes are applied.
const KeyRule kSettingRules[] = {
    {"frequency_mhz", Kind::Frequency, ValueType::Tenths, TALVEX_FREQ_MIN, TALVEX_FREQ_MAX,
     "87.0\u2013108.0 MHz in steps of 0.1"},
    {"power_setting_w", Kind::Power, ValueType::Tenths, TALVEX_POWER_MIN, TALVEX_POWER_MAX,
     "0.3\u201315.0 W in steps of 0.1"},
    {"line_volume_step", Kind::LineVolume, ValueType::Steps, TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX, "1\u201313"},
    {"mic_volume_step", Kind::MicVolume, ValueType::Steps, TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX, "1\u201330"},
    {"transmitter", Kind::Transmitter, ValueType::Choice, 0, 1, "\"on\" or \"standby\"", {"on", "standby"}},
    {"sound", Kind::Sound, ValueType::Choice, 0, 1, "\"stereo\" or \"mono\"", {"stereo", "mono"}},
    {"echo_on", Kind::Echo, ValueType::Flag, 0, 1, "true or false"},
    {"line_on", Kind::Line, ValueType::Flag, 0, 1, "true or false"},
    {"mic_on", Kind::Mic, ValueType::Flag, 0, 1, "true or false"},
};

// The body as a JSON object, or what is wrong with it.
std::variant<Json, RequestError> ParseObject(const std::string& body)
{
    Json json = Json::parse(body, nullptr, false);
    if (json.is_discarded()) {
        return RequestError{"", "the body is not valid JSON"};
    }
    if (!json.is_object()) {
        return RequestError{"", "the body must be a JSON object"};
    }
    return json;
}

std::optional<int> ReadValue(const Json& value, const KeyRule& rule)
{
    switch (rule.type) {
    case ValueType::Tenths:
    case ValueType::Steps: {
        if (!value.is_number()) {
            return std::nullopt;
        }
        const double scaled = value.get<double>() * (rule.type == ValueType::Tenths ? 10.0 : 1.0);
        const double whole = std::round(scaled);
        // 0.1 steps: 100.0 and 87.9 are exact enough in binary; 100.05 is not a step.
        if (!std::isfinite(scaled) || std::fabs(scaled - whole) > 1e-6 || whole < rule.minimum ||
            whole > rule.maximum) {
            return std::nullopt;
        }
        return static_cast<int>(whole);
    }
    case ValueType::Choice:
        if (value.is_string()) {
            const std::string text = value.get<std::string>();
            for (int i = 0; i < 2; ++i) {
                if (text == rule.choices[i]) {
                    return i == 0 ? 1 : 0;
                }
            }
        }
        return std::nullopt;
    case ValueType::Flag:
        if (!value.is_boolean()) {
            return std::nullopt;
        }
        return value.get<bool>() ? 1 : 0;
    }
    return std::nullopt;
}

std::optional<int> ParseNumber(const std::string& text, std::size_t& at, std::size_t digits)
{
    if (at + digits > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    at += digits;
    return value;
}

// "HH:MM:SS" or "HH:MM".
std::optional<LocalFields> ParseTimeOfDay(const std::string& text, LocalFields fields)
{
    std::size_t at = 0;
    const auto hour = ParseNumber(text, at, 2);
    if (!hour || at >= text.size() || text[at++] != ':') {
        return std::nullopt;
    }
    const auto minute = ParseNumber(text, at, 2);
    std::optional<int> second = 0;
    if (minute && at < text.size()) {
        second = text[at++] == ':' ? ParseNumber(text, at, 2) : std::nullopt;
    }
    if (!minute || !second || at != text.size() || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    fields.hour = *hour;
    fields.minute = *minute;
    fields.second = *second;
    return fields;
}

// "YYYY-MM-DD".
std::optional<LocalFields> ParseDate(const std::string& text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    std::size_t at = 0;
    const auto year = ParseNumber(text, at, 4);
    at = 5;
    const auto month = ParseNumber(text, at, 2);
    at = 8;
    const auto day = ParseNumber(text, at, 2);
    if (!year || !month || !day) {
        return std::nullopt;
    }
    LocalFields fields;
    fields.year = *year;
    fields.month = *month;
    fields.day = *day;
    // 31 February would roll over into March: it is refused instead.
    const LocalFields noon = BreakLocalTime(MakeLocalTime({fields.year, fields.month, fields.day, 12, 0, 0}));
    if (fields.year < 1970 || noon.year != fields.year || noon.month != fields.month || noon.day != fields.day) {
        return std::nullopt;
    }
    return fields;
}

}  // namespace

std::variant<std::vector<SettingChange>, RequestError> ParseSettings(const std::string& body)
{
    auto parsed = ParseObject(body);
    if (auto* error = std::get_if<RequestError>(&parsed)) {
        return *error;
    }
    const Json& json = std::get<Json>(parsed);
    for (const auto& [key, value] : json.items()) {
        bool known = false;
        for (const KeyRule& rule : kSettingRules) {
            known = known || key == rule.key;
        }
        if (!known) {
            return RequestError{key, "unknown key"};
        }
    }
    std::vector<SettingChange> changes;
    for (const KeyRule& rule : kSettingRules) {
        const auto found = json.find(rule.key);
        if (found == json.end()) {
            continue;
        }
        const auto value = ReadValue(*found, rule);
        if (!value) {
            return RequestError{rule.key, std::string("must be ") + rule.range};
        }
        changes.push_back({rule.kind, *value, rule.key});
    }
    if (changes.empty()) {
        return RequestError{"", "no setting given"};
    }
    return changes;
}

std::variant<std::vector<PointChange>, RequestError> ParseProtection(const std::string& body)
{
    auto parsed = ParseObject(body);
    if (auto* error = std::get_if<RequestError>(&parsed)) {
        return *error;
    }
    const Json& json = std::get<Json>(parsed);
    using Point = CTransmitterCore::Point;
    const struct {
        KeyRule rule;
        Point point;
    } kPoints[] = {
        {{"temperature_point_c", Kind::Frequency, ValueType::Steps, TALVEX_TEMP_POINT_MIN, TALVEX_TEMP_POINT_MAX,
          "50\u201370 \u00b0C"},
         Point::Temperature},
        {{"swr_point_ratio", Kind::Frequency, ValueType::Tenths, TALVEX_SWR_POINT_MIN, TALVEX_SWR_POINT_MAX,
          "2.0\u20134.0 in steps of 0.1"},
         Point::Swr},
    };
    for (const auto& [key, value] : json.items()) {
        bool known = false;
        for (const auto& p : kPoints) {
            known = known || key == p.rule.key;
        }
        if (!known) {
            return RequestError{key, "unknown key"};
        }
    }
    std::vector<PointChange> changes;
    for (const auto& p : kPoints) {
        const auto found = json.find(p.rule.key);
        if (found == json.end()) {
            continue;
        }
        const auto value = ReadValue(*found, p.rule);
        if (!value) {
            return RequestError{p.rule.key, std::string("must be ") + p.rule.range};
        }
        changes.push_back({p.point, *value, p.rule.key});
    }
    if (changes.empty()) {
        return RequestError{"", "no protection point given"};
    }
    return changes;
}

const char* OperationName(int operation)
{
    switch (operation) {
    case TASK_STARTUP: return "start_up";
    case TASK_SHUTDOWN: return "shut_down";
    default: return "nothing";
    }
}

std::variant<ScheduleRows, RequestError> ParseSchedule(const std::string& body, std::int64_t now)
{
    auto parsed = ParseObject(body);
    if (auto* error = std::get_if<RequestError>(&parsed)) {
        return *error;
    }
    const Json& json = std::get<Json>(parsed);
    for (const auto& [key, value] : json.items()) {
        if (key != "rows") {
            return RequestError{key, "unknown key"};
        }
    }
    const auto rows = json.find("rows");
    if (rows == json.end() || !rows->is_array() || rows->size() != kTaskRows) {
        return RequestError{"rows", "must be a list of five rows"};
    }
    ScheduleRows result{};
    for (int i = 0; i < kTaskRows; ++i) {
        const Json& row = (*rows)[static_cast<std::size_t>(i)];
        const std::string where = "rows[" + std::to_string(i) + "]";
        if (!row.is_object()) {
            return RequestError{where, "must be an object with \"date\", \"time\" and \"operation\""};
        }
        for (const auto& [key, value] : row.items()) {
            if (key != "date" && key != "time" && key != "operation" && key != "row" && key != "every_day") {
                return RequestError{where + "." + key, "unknown key"};
            }
        }
        const auto operation = row.find("operation");
        int op = -1;
        if (operation != row.end() && operation->is_string()) {
            for (const int candidate : {TASK_NOTHING, TASK_STARTUP, TASK_SHUTDOWN}) {
                if (operation->get<std::string>() == OperationName(candidate)) {
                    op = candidate;
                }
            }
        }
        if (op < 0) {
            return RequestError{where + ".operation", "must be \"nothing\", \"start_up\" or \"shut_down\""};
        }
        LocalFields fields = BreakLocalTime(now);
        if (!IsEverydayRow(i)) {
            const auto date = row.find("date");
            const auto day =
                date != row.end() && date->is_string() ? ParseDate(date->get<std::string>()) : std::nullopt;
            if (!day) {
                return RequestError{where + ".date", "must be a date, YYYY-MM-DD"};
            }
            fields = *day;
        }
        const auto time = row.find("time");
        const auto clock =
            time != row.end() && time->is_string() ? ParseTimeOfDay(time->get<std::string>(), fields) : std::nullopt;
        if (!clock) {
            return RequestError{where + ".time", "must be a time of day, HH:MM:SS"};
        }
        ScheduledTask& task = result[static_cast<std::size_t>(i)];
        task.operation = op;
        if (IsEverydayRow(i)) {
            task.time = NextDailyMoment(now, clock->hour, clock->minute, clock->second);
            task.timeOfDay = TimeOfDay(*clock);
        } else {
            task.time = MakeLocalTime(*clock);
        }
    }
    return result;
}

}  // namespace talvexd
