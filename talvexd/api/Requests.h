#pragma once
// The bodies clients send, checked before anything reaches the transmitter:
// the settings, the protection points and the schedule's rows; and the
// query parameters of the event log and the history. Pure: text in, a list
// of changes (or a query) or the one thing wrong with it out.

#include "core/ScheduledTask.h"
#include "core/TransmitterCore.h"
#include "talvexd/control/SiteChange.h"
#include "talvexd/data/Reading.h"
#include "talvexd/site/Journal.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace talvexd {

// What is wrong with a body: the key it concerns (empty for the body as a
// whole) and why, in words for the client.
struct RequestError {
    std::string key;
    std::string message;
};

// PUT /api/v1/settings: the changes in the order they are applied
// (frequency_mhz, power_setting_w, line_volume_step, mic_volume_step,
// transmitter, sound, echo_on, line_on, mic_on), whatever the body's order.
std::variant<std::vector<SettingChange>, RequestError> ParseSettings(const std::string& body);

// PUT /api/v1/protection: temperature_point_c, swr_point_ratio.
std::variant<std::vector<PointChange>, RequestError> ParseProtection(const std::string& body);

using ScheduleRows = std::array<ScheduledTask, kTaskRows>;
// PUT /api/v1/schedule: {"rows": [five {"date", "time", "operation"}]},
// made into rows as the schedule dialog makes them at `now`.
std::variant<ScheduleRows, RequestError> ParseSchedule(const std::string& body, std::int64_t now);

// The operation names of the schedule's rows: "nothing", "start_up",
// "shut_down".
const char* OperationName(int operation);

// A URL's query, decoded, as cpp-httplib hands it over.
using QueryParams = std::multimap<std::string, std::string>;

// An RFC 3339 time: "2026-12-09T13:05:07Z", "2026-12-09t13:05:07.25+02:00".
// A space where the offset's "+" belongs is taken for it (an unencoded "+"
// in a URL arrives as one). Years 1970 to 2199.
std::optional<WallClock::time_point> ParseRfc3339(std::string_view text);
// A decimal integer in [minimum, maximum] and nothing else.
std::optional<std::int64_t> ParseInteger(std::string_view text, std::int64_t minimum, std::int64_t maximum);

// GET /api/v1/log?since=RFC3339&limit=N&kind=KIND.
struct LogQuery {
    static constexpr int kDefaultLimit = 100;
    static constexpr int kMaxLimit = 1000;
    std::optional<WallClock::time_point> since;
    std::optional<EventKind> kind;
    int limit = kDefaultLimit;
};
std::variant<LogQuery, RequestError> ParseLogQuery(const QueryParams& params);

// GET /api/v1/history?reading=NAME&from=RFC3339&to=RFC3339&step=SECONDS:
// to defaults to `now`, from to a day before to, step to a minute.
struct HistoryQuery {
    static constexpr std::chrono::seconds kDefaultStep{60};
    static constexpr std::chrono::hours kDefaultSpan{24};
    static constexpr std::int64_t kMaxBuckets = 10000;
    static constexpr std::int64_t kMaxStepSeconds = 31 * 86400;
    Reading reading = Reading::ForwardPower;
    WallClock::time_point from;
    WallClock::time_point to;
    std::chrono::seconds step = kDefaultStep;
};
std::variant<HistoryQuery, RequestError> ParseHistoryQuery(const QueryParams& params, WallClock::time_point now);

}  // namespace talvexd
