// The query parameters of the event log and the history: RFC 3339 times,
// whole numbers in range, defaults, and each bad parameter named.

#include "talvexd/api/Requests.h"

#include <gtest/gtest.h>

using namespace talvexd;
using namespace std::chrono_literals;

namespace {

// 2026-12-09T13:05:07Z.
const WallClock::time_point kAt = WallClock::time_point(1796821507s);

TEST(Rfc3339, TimesWithZOrAnOffset)
{
    const struct {
        const char* text;
        std::optional<WallClock::time_point> at;
    } rows[] = {
        {"2026-12-09T13:05:07Z", kAt},
        {"2026-12-09t13:05:07.25z", kAt + 250ms},
        {"2026-12-09T15:05:07.123456+02:00", kAt + 123ms},
        {"2026-12-09T15:05:07 02:00", kAt},  // an unencoded "+"
        {"2026-12-09T11:35:07-01:30", kAt},
        {"2024-02-29T00:00:00Z", WallClock::time_point(1709164800s)},
        {"2026-12-09T13:05:07", std::nullopt},
        {"2026-12-09 13:05:07Z", std::nullopt},
        {"2026-02-29T00:00:00Z", std::nullopt},
        {"2026-12-09T24:00:00Z", std::nullopt},
        {"2026-12-09T13:05:07.Z", std::nullopt},
        {"2026-12-09T13:05:07Zx", std::nullopt},
        {"1969-12-31T23:59:59Z", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ParseRfc3339(row.text), row.at) << row.text;
}

// The key a query is refused for; empty when it is taken.
template <typename Parse>
std::string Refused(Parse parse, const QueryParams& params)
{
    const auto parsed = parse(params);
    return parsed.index() == 1 ? std::get<RequestError>(parsed).key : std::string();
}

TEST(LogQuery, DefaultsRangesAndNames)
{
    const auto query = std::get<LogQuery>(ParseLogQuery({{"since", "2026-12-09T13:05:07Z"}, {"kind", "link"}}));
    EXPECT_EQ(query.since, kAt);
    EXPECT_EQ(query.kind, EventKind::Link);
    EXPECT_EQ(query.limit, 100);
    EXPECT_EQ(std::get<LogQuery>(ParseLogQuery({{"limit", "1000"}})).limit, 1000);
    const struct {
        QueryParams params;
        const char* key;
    } rows[] = {
        {{{"limit", "0"}}, "limit"},   {{{"limit", "1001"}}, "limit"},
        {{{"limit", "12x"}}, "limit"}, {{{"limit", ""}}, "limit"},
        {{{"kind", "alarm"}}, "kind"}, {{{"since", "yesterday"}}, "since"},
        {{{"sinc", "x"}}, "sinc"},     {{{"kind", "link"}, {"kind", "link"}}, "kind"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Refused(ParseLogQuery, row.params), row.key);
}

TEST(HistoryQuery, DefaultsRangesAndNames)
{
    const auto query = std::get<HistoryQuery>(ParseHistoryQuery({{"reading", "swr_ratio"}}, kAt));
    EXPECT_EQ(query.reading, Reading::Swr);
    EXPECT_EQ(query.to, kAt);
    EXPECT_EQ(query.from, kAt - 24h);
    EXPECT_EQ(query.step, 60s);
    const auto parse = [](const QueryParams& params) { return ParseHistoryQuery(params, kAt); };
    const struct {
        QueryParams params;
        const char* key;
    } rows[] = {
        {{{"reading", "frequency_mhz"}, {"step", "9"}}, ""},  // 9600 points
        {{{"reading", "frequency_mhz"}, {"step", "8"}}, "step"},
        {{{"reading", "frequency_mhz"}, {"step", "0"}}, "step"},
        {{{"reading", "frequency_mhz"}, {"step", "-5"}}, "step"},
        {{{"reading", "frequency_mhz"}, {"from", "2026-12-09T13:05:07Z"}}, "from"},
        {{{"reading", "frequency_mhz"}, {"to", "2026-13-01T00:00:00Z"}}, "to"},
        {{{"reading", "frequency"}}, "reading"},
        {{}, "reading"},
        {{{"reading", "swr_ratio"}, {"points", "5"}}, "points"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Refused(parse, row.params), row.key);
}

}  // namespace
