#pragma once
// The service's record of what happened: every event goes to standard error
// (one line, which the system journal keeps) and to whoever keeps the event
// log (the site database), in one call, so that the two never disagree.
// Safe from every thread.

#include "SiteStatus.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace talvexd {

// What an event is about; the names are the event log's "kind".
enum class EventKind {
    Service,   // started, stopping, stopped
    Link,      // up or down
    Change,    // a client changed the transmitter or the schedule
    Schedule,  // a schedule row fired
    AlarmRaised,
    AlarmCleared,
    AlarmAcknowledged,
};
inline constexpr EventKind kEventKinds[] = {
    EventKind::Service,     EventKind::Link,         EventKind::Change,           EventKind::Schedule,
    EventKind::AlarmRaised, EventKind::AlarmCleared, EventKind::AlarmAcknowledged};

// "service", "link", "change", "schedule", "alarm_raised", "alarm_cleared",
// "alarm_acknowledged".
const char* EventKindName(EventKind kind);
std::optional<EventKind> ParseEventKind(std::string_view name);

struct JournalEntry {
    WallClock::time_point at;
    EventKind kind = EventKind::Service;
    std::string user;  // who asked; empty for the service itself
    std::string text;  // what happened and how it ended, for people
};

class CJournal
{
public:
    using Sink = std::function<void(const JournalEntry&)>;

    // Set once, before any thread records; the sink must not block.
    void SetSink(Sink sink) { m_sink = std::move(sink); }
    // The line "talvexd: 'USER' TEXT" (no user: "talvexd: TEXT") on standard
    // error, and the entry to the sink.
    void Record(EventKind kind, const std::string& user, const std::string& text) const;

private:
    Sink m_sink;
};

}  // namespace talvexd
