// The bodies a client may send talvexd: settings, protection points and
// schedule rows. Whatever the input, the parsers answer (a list of changes or
// the one thing wrong), and every change they let through is inside the
// device's ranges, so nothing out of range can reach the transmitter. The
// same input, read as a URL's query ("k=v&k=v"), goes to the event log's and
// the history's parameters: whatever they let through is in range.

#include "FuzzCheck.h"
#include "talvexd/api/Requests.h"

#include <Talvex.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

namespace {

// "a=1&b=2" as cpp-httplib would hand it over (undecoded).
talvexd::QueryParams SplitQuery(const std::string& text)
{
    talvexd::QueryParams params;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('&', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string pair = text.substr(at, end - at);
        const std::size_t equals = pair.find('=');
        params.emplace(pair.substr(0, equals), equals == std::string::npos ? "" : pair.substr(equals + 1));
        at = end + 1;
    }
    return params;
}

bool InRange(const talvexd::SettingChange& change)
{
    using Kind = talvexd::SettingChange::Kind;
    switch (change.kind) {
    case Kind::Frequency: return change.value >= TALVEX_FREQ_MIN && change.value <= TALVEX_FREQ_MAX;
    case Kind::Power: return change.value >= TALVEX_POWER_MIN && change.value <= TALVEX_POWER_MAX;
    case Kind::LineVolume: return change.value >= TALVEX_LINE_VOL_MIN && change.value <= TALVEX_LINE_VOL_MAX;
    case Kind::MicVolume: return change.value >= TALVEX_MIC_VOL_MIN && change.value <= TALVEX_MIC_VOL_MAX;
    default: return change.value == 0 || change.value == 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const auto settings = talvexd::ParseSettings(body);
    if (const auto* changes = std::get_if<std::vector<talvexd::SettingChange>>(&settings)) {
        FUZZ_CHECK(!changes->empty());
        for (const auto& change : *changes) {
            FUZZ_CHECK(InRange(change));
        }
    }
    const auto points = talvexd::ParseProtection(body);
    if (const auto* changes = std::get_if<std::vector<talvexd::PointChange>>(&points)) {
        for (const auto& change : *changes) {
            const auto range = CTransmitterCore::RangeOf(change.point);
            FUZZ_CHECK(change.value >= range.minimum && change.value <= range.maximum);
        }
    }
    const auto rows = talvexd::ParseSchedule(body, 1765000000);
    if (const auto* tasks = std::get_if<talvexd::ScheduleRows>(&rows)) {
        for (const auto& task : *tasks) {
            FUZZ_CHECK(task.operation >= TASK_NOTHING && task.operation <= TASK_SHUTDOWN);
        }
    }
    const talvexd::QueryParams params = SplitQuery(body);
    const auto log = talvexd::ParseLogQuery(params);
    if (const auto* query = std::get_if<talvexd::LogQuery>(&log)) {
        FUZZ_CHECK(query->limit >= 1 && query->limit <= talvexd::LogQuery::kMaxLimit);
    }
    const auto history =
        talvexd::ParseHistoryQuery(params, talvexd::WallClock::time_point(std::chrono::seconds(1765000000)));
    if (const auto* query = std::get_if<talvexd::HistoryQuery>(&history)) {
        FUZZ_CHECK(query->from < query->to && query->step.count() >= 1);
        FUZZ_CHECK((query->to - query->from) / query->step <= talvexd::HistoryQuery::kMaxBuckets);
    }
    if (const auto at = talvexd::ParseRfc3339(body)) {
        FUZZ_CHECK(at->time_since_epoch().count() >= 0);
    }
    return 0;
}
