#include "Notice.h"

#include "talvexd/site/SiteStatus.h"

#include <openssl/rand.h>

#include <cstdio>

namespace talvexd {

std::string NewNoticeId()
{
    unsigned char bytes[16] = {};
    RAND_bytes(bytes, sizeof bytes);
    std::string id;
    char hex[3];
    for (const unsigned char byte : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", byte);
        id += hex;
    }
    return id;
}

nlohmann::json NoticeOf(const AlarmTransition& t)
{
    return {{"id", NewNoticeId()},        {"event", t.raised ? "raised" : "cleared"},
            {"alarm", AlarmName(t.kind)}, {"severity", SeverityName(t.severity)},
            {"value", t.value},           {"threshold", t.threshold},
            {"at", Rfc3339(t.at)},        {"text", DescribeTransition(t)}};
}

std::vector<nlohmann::json> EventsOf(const nlohmann::json& notice)
{
    if (notice.value("event", "") == "summary" && notice.contains("alarms") && notice["alarms"].is_array())
        return notice["alarms"].get<std::vector<nlohmann::json>>();
    return {notice};
}

nlohmann::json SummaryOf(const std::vector<nlohmann::json>& notices)
{
    nlohmann::json alarms = nlohmann::json::array();
    bool critical = false;
    for (const nlohmann::json& notice : notices) {
        for (nlohmann::json& event : EventsOf(notice)) {
            critical = critical || event.value("severity", "") == "critical";
            alarms.push_back(std::move(event));
        }
    }
    return {{"id", NewNoticeId()},
            {"event", "summary"},
            {"severity", SeverityName(critical ? Severity::Critical : Severity::Warning)},
            {"alarms", std::move(alarms)}};
}

std::string FormatReading(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace talvexd
