#pragma once
// The alarms the service raises, and the small values that describe one:
// how a rule is set, an alarm that is up, and a raise or a clear as the
// event log, the notifications and the metrics see it.

#include "talvexd/site/SiteStatus.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace talvexd {

enum class Severity { Warning, Critical };
const char* SeverityName(Severity severity);  // "warning", "critical"
std::optional<Severity> ParseSeverity(std::string_view name);

// Every alarm there is, in the order they are listed.
enum class AlarmKind {
    Swr,                // SWR above its threshold: the antenna or its feed
    Temperature,        // the transmitter runs hot
    OffAir,             // on, but sending well under its power setting
    Silence,            // on, but the audio is dead
    Link,               // the link to the transmitter is down
    UnexpectedStandby,  // went to standby, and nobody asked for it
    Restart,            // the service started: raised and cleared at once
};
inline constexpr AlarmKind kAlarmKinds[] = {AlarmKind::Swr,     AlarmKind::Temperature, AlarmKind::OffAir,
                                            AlarmKind::Silence, AlarmKind::Link,        AlarmKind::UnexpectedStandby,
                                            AlarmKind::Restart};

// "swr", "temperature", "off_air", "silence", "link", "unexpected_standby",
// "restart": the names in talvexd.toml, the API and the metrics.
const char* AlarmName(AlarmKind kind);
std::optional<AlarmKind> ParseAlarmName(std::string_view name);

// How one rule is set ([alarms.NAME] in talvexd.toml). The threshold and
// the hysteresis are in the unit of the rule's reading: the SWR ratio,
// degrees Celsius, a fraction of the power setting (off_air), the raw audio
// level (silence); the others have none.
struct AlarmRule {
    bool enabled = true;
    // None: the rule's default, which may follow the transmitter's
    // protection points as read at connect.
    std::optional<double> threshold;
    // How long the condition must hold before the alarm is raised.
    std::chrono::milliseconds delay{0};
    // How far back past the threshold the reading must be, and for how
    // long, before the alarm clears.
    double hysteresis = 0;
    std::chrono::milliseconds clearDelay{0};
    Severity severity = Severity::Critical;
    bool operator==(const AlarmRule&) const = default;
};

// The rule as it is shipped.
AlarmRule DefaultAlarmRule(AlarmKind kind);

// An alarm that is up.
struct ActiveAlarm {
    AlarmKind kind = AlarmKind::Restart;
    Severity severity = Severity::Warning;
    WallClock::time_point raisedAt;
    double value = 0;      // the reading that raised it, in the rule's unit
    double threshold = 0;  // what it was compared with
    bool acknowledged = false;
    std::string acknowledgedBy;
    std::optional<WallClock::time_point> acknowledgedAt;
};

// An alarm raised or cleared.
struct AlarmTransition {
    AlarmKind kind = AlarmKind::Restart;
    bool raised = true;  // false: cleared
    Severity severity = Severity::Warning;
    WallClock::time_point at;
    double value = 0;  // the reading at that moment, in the rule's unit
    double threshold = 0;
};

// A value or threshold of `kind`'s rule without its unit, in the precision
// its reading has: "3.2" (SWR, watts), "72" (degrees, the level).
std::string FormatAlarmValue(AlarmKind kind, double value);

// "swr raised: 3.2 over 2.8" / "swr cleared: 2.5", for the log and mail.
std::string DescribeTransition(const AlarmTransition& transition);

}  // namespace talvexd
