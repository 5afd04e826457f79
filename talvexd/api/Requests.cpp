#include "Requests.h"

#include "core/LocalTime.h"
#include "core/ScheduleRules.h"

#include <Talvex.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <initializer_list>
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

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2;
    const std::int64_t era = year / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The one value of `key`, or what is wrong: given twice. None when absent.
std::variant<std::optional<std::string>, RequestError> SingleValue(const QueryParams& params, const char* key)
{
    const auto [first, last] = params.equal_range(key);
    if (first == last) {
        return std::optional<std::string>();
    }
    if (std::next(first) != last) {
        return RequestError{key, "is given more than once"};
    }
    return std::optional<std::string>(first->second);
}

// Every parameter is one of `known`.
std::optional<RequestError> UnknownParameter(const QueryParams& params, std::initializer_list<const char*> known)
{
    for (const auto& param : params) {
        const std::string& key = param.first;
        if (std::find_if(known.begin(), known.end(), [&](const char* k) { return key == k; }) == known.end()) {
            std::string names;
            for (const char* k : known) {
                names += (names.empty() ? "" : ", ") + std::string(k);
            }
            return RequestError{key, "is not a parameter here; known: " + names};
        }
    }
    return std::nullopt;
}

constexpr char kTimeForm[] = "must be an RFC 3339 time such as 2026-12-09T13:05:07Z or 2026-12-09T15:05:07+02:00";

// `key` as a time when given; what is wrong otherwise.
std::variant<std::optional<WallClock::time_point>, RequestError> TimeValue(const QueryParams& params, const char* key)
{
    auto value = SingleValue(params, key);
    if (auto* error = std::get_if<RequestError>(&value)) {
        return *error;
    }
    const auto& text = std::get<std::optional<std::string>>(value);
    if (!text) {
        return std::optional<WallClock::time_point>();
    }
    const auto at = ParseRfc3339(*text);
    if (!at) {
        return RequestError{key, kTimeForm};
    }
    return at;
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

std::optional<WallClock::time_point> ParseRfc3339(std::string_view view)
{
    const std::string text(view);
    std::size_t at = 0;
    const auto number = [&](std::size_t digits) { return ParseNumber(text, at, digits); };
    const auto expect = [&](std::string_view chars) {
        if (at < text.size() && chars.find(text[at]) != std::string_view::npos) {
            return text[at++];
        }
        return '\0';
    };
    const auto year = number(4);
    if (!year || !expect("-")) {
        return std::nullopt;
    }
    const auto month = number(2);
    if (!month || !expect("-")) {
        return std::nullopt;
    }
    const auto day = number(2);
    if (!day || !expect("Tt")) {
        return std::nullopt;
    }
    const auto hour = number(2);
    if (!hour || !expect(":")) {
        return std::nullopt;
    }
    const auto minute = number(2);
    if (!minute || !expect(":")) {
        return std::nullopt;
    }
    const auto second = number(2);
    if (!second || *year < 1970 || *year > 2199 || *month < 1 || *month > 12 || *day < 1 ||
        *day > DaysInMonth(*year, *month) || *hour > 23 || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    int milliseconds = 0;
    if (expect(".")) {
        int digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
            if (digits < 3) {
                milliseconds = milliseconds * 10 + (text[at] - '0');
            }
        }
        if (digits == 0) {
            return std::nullopt;
        }
        for (; digits < 3; ++digits) {
            milliseconds *= 10;
        }
    }
    std::int64_t offsetMinutes = 0;
    const char zone = expect("Zz+- ");
    if (zone == '\0') {
        return std::nullopt;
    }
    if (zone != 'Z' && zone != 'z') {
        const auto offsetHours = number(2);
        if (!offsetHours || !expect(":")) {
            return std::nullopt;
        }
        const auto offsetMinute = number(2);
        if (!offsetMinute || *offsetHours > 23 || *offsetMinute > 59) {
            return std::nullopt;
        }
        offsetMinutes = (*offsetHours * 60 + *offsetMinute) * (zone == '-' ? -1 : 1);
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    // A leap second is taken as the second before it.
    const std::int64_t seconds = DaysFromCivil(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 +
                                 std::min(*second, 59) - offsetMinutes * 60;
    return WallClock::time_point(
        std::chrono::duration_cast<WallClock::duration>(std::chrono::milliseconds(seconds * 1000 + milliseconds)));
}

std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t minimum, std::int64_t maximum)
{
    std::size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (at == text.size() || text.size() - at > 18) {
        return std::nullopt;  // empty, or beyond what an int64 surely holds
    }
    std::int64_t value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[at] - '0');
    }
    if (text[0] == '-') {
        value = -value;
    }
    if (value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::variant<LogQuery, RequestError> ParseLogQuery(const QueryParams& params)
{
    if (auto error = UnknownParameter(params, {"since", "limit", "kind"})) {
        return *error;
    }
    LogQuery query;
    auto since = TimeValue(params, "since");
    if (auto* error = std::get_if<RequestError>(&since)) {
        return *error;
    }
    query.since = std::get<std::optional<WallClock::time_point>>(since);
    auto limit = SingleValue(params, "limit");
    if (auto* error = std::get_if<RequestError>(&limit)) {
        return *error;
    }
    if (const auto& text = std::get<std::optional<std::string>>(limit)) {
        const auto value = ParseInteger(*text, 1, LogQuery::kMaxLimit);
        if (!value) {
            return RequestError{"limit", "must be a whole number from 1 to " + std::to_string(LogQuery::kMaxLimit)};
        }
        query.limit = static_cast<int>(*value);
    }
    auto kind = SingleValue(params, "kind");
    if (auto* error = std::get_if<RequestError>(&kind)) {
        return *error;
    }
    if (const auto& text = std::get<std::optional<std::string>>(kind)) {
        query.kind = ParseEventKind(*text);
        if (!query.kind) {
            std::string names;
            for (const EventKind k : kEventKinds) {
                names += (names.empty() ? "" : ", ") + std::string(EventKindName(k));
            }
            return RequestError{"kind", "must be one of " + names};
        }
    }
    return query;
}

std::variant<HistoryQuery, RequestError> ParseHistoryQuery(const QueryParams& params, WallClock::time_point now)
{
    if (auto error = UnknownParameter(params, {"reading", "from", "to", "step"})) {
        return *error;
    }
    HistoryQuery query;
    auto reading = SingleValue(params, "reading");
    if (auto* error = std::get_if<RequestError>(&reading)) {
        return *error;
    }
    const auto& name = std::get<std::optional<std::string>>(reading);
    const auto parsed = name ? ParseReading(*name) : std::nullopt;
    if (!parsed) {
        std::string names;
        for (const Reading r : kReadings) {
            names += (names.empty() ? "" : ", ") + std::string(ReadingName(r));
        }
        return RequestError{"reading", (name ? "must be one of " : "is missing; one of ") + names};
    }
    query.reading = *parsed;
    auto to = TimeValue(params, "to");
    if (auto* error = std::get_if<RequestError>(&to)) {
        return *error;
    }
    query.to = std::get<std::optional<WallClock::time_point>>(to).value_or(now);
    auto from = TimeValue(params, "from");
    if (auto* error = std::get_if<RequestError>(&from)) {
        return *error;
    }
    query.from = std::get<std::optional<WallClock::time_point>>(from).value_or(query.to - HistoryQuery::kDefaultSpan);
    if (query.from >= query.to) {
        return RequestError{"from", "must be before to"};
    }
    auto step = SingleValue(params, "step");
    if (auto* error = std::get_if<RequestError>(&step)) {
        return *error;
    }
    if (const auto& text = std::get<std::optional<std::string>>(step)) {
        const auto seconds = ParseInteger(*text, 1, HistoryQuery::kMaxStepSeconds);
        if (!seconds) {
            return RequestError{"step", "must be a whole number of seconds from 1 to " +
                                            std::to_string(HistoryQuery::kMaxStepSeconds)};
        }
        query.step = std::chrono::seconds(*seconds);
    }
    const auto span = std::chrono::duration_cast<std::chrono::seconds>(query.to - query.from).count();
    const std::int64_t buckets = (span + query.step.count() - 1) / query.step.count();
    if (buckets > HistoryQuery::kMaxBuckets) {
        return RequestError{
            "step", "gives " + std::to_string(buckets) + " points from " + Rfc3339(query.from) + " to " +
                        Rfc3339(query.to) + "; at most " + std::to_string(HistoryQuery::kMaxBuckets) +
                        ", with a step of at least " +
                        std::to_string((span + HistoryQuery::kMaxBuckets - 1) / HistoryQuery::kMaxBuckets) + " s"};
    }
    return query;
}

}  // namespace talvexd
