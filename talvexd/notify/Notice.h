#pragma once
// A notification as the outbox keeps it: channel-neutral JSON that each
// sender renders into its own form when it sends. One alarm event is
// {"id", "event": "raised"|"cleared", "alarm", "severity", "value",
// "threshold", "at", "text"}; a summary is {"id", "event": "summary",
// "severity", "alarms": [events...]}. The id stays with the notification
// through every retry, so a receiver can drop a duplicate.

#include "talvexd/alarms/Alarm.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace talvexd {

// 32 hex digits from the system's random source.
std::string NewNoticeId();
nlohmann::json NoticeOf(const AlarmTransition& transition);
// One summary of `notices`; a summary among them is opened up, so that a
// summary never holds another. Its severity is the highest of them.
nlohmann::json SummaryOf(const std::vector<nlohmann::json>& notices);
// The alarm events a notice carries: itself, or a summary's list.
std::vector<nlohmann::json> EventsOf(const nlohmann::json& notice);
// "%g" of a reading, as DescribeTransition writes it.
std::string FormatReading(double value);

}  // namespace talvexd
