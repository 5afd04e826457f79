#include "Alarm.h"

#include <cstdio>

namespace talvexd {

using namespace std::chrono_literals;

const char* SeverityName(Severity severity) { return severity == Severity::Critical ? "critical" : "warning"; }

std::optional<Severity> ParseSeverity(std::string_view name)
{
    if (name == "critical")
        return Severity::Critical;
    if (name == "warning")
        return Severity::Warning;
    return std::nullopt;
}

const char* AlarmName(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::Swr: return "swr";
    case AlarmKind::Temperature: return "temperature";
    case AlarmKind::OffAir: return "off_air";
    case AlarmKind::Silence: return "silence";
    case AlarmKind::Link: return "link";
    case AlarmKind::UnexpectedStandby: return "unexpected_standby";
    case AlarmKind::Restart: return "restart";
    }
    return "restart";
}

std::optional<AlarmKind> ParseAlarmName(std::string_view name)
{
    for (const AlarmKind kind : kAlarmKinds) {
        if (name == AlarmName(kind))
            return kind;
    }
    return std::nullopt;
}

AlarmRule DefaultAlarmRule(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::Swr: return {true, std::nullopt, 3s, 0.1, 10s, Severity::Critical};
    case AlarmKind::Temperature: return {true, std::nullopt, 10s, 2, 30s, Severity::Warning};
    case AlarmKind::OffAir: return {true, 0.5, 10s, 0.1, 10s, Severity::Critical};
    // The panel's meter is full at 255 and programme audio moves across it;
    // dead air reads a few counts.
    case AlarmKind::Silence: return {true, 20, 30s, 20, 5s, Severity::Critical};
    case AlarmKind::Link: return {true, std::nullopt, 5s, 0, 0s, Severity::Critical};
    case AlarmKind::UnexpectedStandby: return {true, std::nullopt, 0s, 0, 0s, Severity::Critical};
    case AlarmKind::Restart: return {true, std::nullopt, 0s, 0, 0s, Severity::Warning};
    }
    return {};
}

std::string FormatAlarmValue(AlarmKind kind, double value)
{
    // Each in the precision its reading has: the SWR and watts to a tenth.
    char text[32];
    const bool tenths = kind == AlarmKind::Swr || kind == AlarmKind::OffAir;
    std::snprintf(text, sizeof text, tenths ? "%.1f" : "%.0f", value);
    return text;
}

std::string DescribeTransition(const AlarmTransition& t)
{
    const auto number = [&](double value) { return FormatAlarmValue(t.kind, value); };
    const char* unit = t.kind == AlarmKind::Temperature ? " °C" : t.kind == AlarmKind::OffAir ? " W" : "";
    std::string text = std::string(AlarmName(t.kind)) + (t.raised ? " raised" : " cleared");
    const char* side = nullptr;
    switch (t.kind) {
    case AlarmKind::Swr:
    case AlarmKind::Temperature: side = " over "; break;
    case AlarmKind::OffAir:
    case AlarmKind::Silence: side = " under "; break;
    default: return text;
    }
    text += ": " + number(t.value) + unit;
    if (t.raised)
        text += side + number(t.threshold) + unit;
    return text;
}

}  // namespace talvexd
