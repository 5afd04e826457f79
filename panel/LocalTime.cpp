#include "LocalTime.h"

#include <chrono>
#include <ctime>

namespace {

// Years far outside the representable range would overflow tm_year; they are
// unrepresentable anyway.
constexpr int kYearGuard = 1'000'000;

}  // namespace

std::int64_t MakeLocalTime(const LocalFields& fields)
{
    if (fields.year < -kYearGuard || fields.year > kYearGuard) {
        return kInvalidMoment;
    }
    std::tm tm{};
    tm.tm_year = fields.year - 1900;
    tm.tm_mon = fields.month - 1;
    tm.tm_mday = fields.day;
    tm.tm_hour = fields.hour;
    tm.tm_min = fields.minute;
    tm.tm_sec = fields.second;
    tm.tm_isdst = -1;
    // mktime returns -1 both on failure and for 1969-12-31 23:59:59 UTC;
    // both lie before kEarliestMoment, so neither needs telling apart.
    const std::time_t t = std::mktime(&tm);
    const auto moment = static_cast<std::int64_t>(t);
    if (moment < kEarliestMoment || moment > kLatestMoment) {
        return kInvalidMoment;
    }
    return moment;
}

LocalFields BreakLocalTime(std::int64_t moment)
{
    const auto t = static_cast<std::time_t>(moment);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) {
        return LocalFields{};
    }
    LocalFields fields;
    fields.year = tm.tm_year + 1900;
    fields.month = tm.tm_mon + 1;
    fields.day = tm.tm_mday;
    fields.hour = tm.tm_hour;
    fields.minute = tm.tm_min;
    fields.second = tm.tm_sec;
    return fields;
}

std::int64_t TodayAt(std::int64_t now, int hour, int minute, int second)
{
    LocalFields fields = BreakLocalTime(now);
    fields.hour = hour;
    fields.minute = minute;
    fields.second = second;
    return MakeLocalTime(fields);
}

std::int64_t NowSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}
