#include "Journal.h"

#include "Log.h"

namespace talvexd {

const char* EventKindName(EventKind kind)
{
    switch (kind) {
    case EventKind::Service: return "service";
    case EventKind::Link: return "link";
    case EventKind::Change: return "change";
    case EventKind::Schedule: return "schedule";
    case EventKind::AlarmRaised: return "alarm_raised";
    case EventKind::AlarmCleared: return "alarm_cleared";
    case EventKind::AlarmAcknowledged: return "alarm_acknowledged";
    }
    return "service";
}

std::optional<EventKind> ParseEventKind(std::string_view name)
{
    for (const EventKind kind : kEventKinds) {
        if (name == EventKindName(kind))
            return kind;
    }
    return std::nullopt;
}

void CJournal::Record(EventKind kind, const std::string& user, const std::string& text) const
{
    Log(user.empty() ? text : "'" + user + "' " + text);
    if (m_sink)
        m_sink(JournalEntry{WallClock::now(), kind, user, text});
}

}  // namespace talvexd
