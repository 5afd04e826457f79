#include "LocalTime.h"

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {

// Years far outside the representable range would overflow tm_year; they are
// unrepresentable anyway.
constexpr int kYearGuard = 1'000'000;

// `isdst`: 0 standard time, 1 summer time, -1 for the C library to decide.
std::tm ToTm(const LocalFields& fields, int isdst)
{
    std::tm tm{};
    tm.tm_year = fields.year - 1900;
    tm.tm_mon = fields.month - 1;
    tm.tm_mday = fields.day;
    tm.tm_hour = fields.hour;
    tm.tm_min = fields.minute;
    tm.tm_sec = fields.second;
    tm.tm_isdst = isdst;
    return tm;
}

}  // namespace

std::int64_t MakeLocalTime(const LocalFields& fields)
{
    if (fields.year < -kYearGuard || fields.year > kYearGuard) {
        return kInvalidMoment;
    }
    std::tm tm = ToTm(fields, -1);
    // mktime returns -1 both on failure and for 1969-12-31 23:59:59 UTC;
    // both lie before kEarliestMoment, so neither needs telling apart.
    const std::time_t t = std::mktime(&tm);
    const auto moment = static_cast<std::int64_t>(t);
    if (moment < kEarliestMoment || moment > kLatestMoment) {
        return kInvalidMoment;
    }
    return moment;
}

namespace {

// The moment of `fields` taken as standard time (isdst 0) or summer time
// (isdst 1), and whether that reading names a real local time: mktime moves
// a time into the offset it asks for, so a reading that does not exist
// comes back with other fields.
struct Reading {
    std::int64_t moment = kInvalidMoment;
    bool exists = false;
};

Reading ReadAs(const LocalFields& fields, int isdst)
{
    std::tm tm = ToTm(fields, isdst);
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) {
        return {};
    }
    const bool exists = tm.tm_year == fields.year - 1900 && tm.tm_mon == fields.month - 1 && tm.tm_mday == fields.day &&
                        tm.tm_hour == fields.hour && tm.tm_min == fields.minute && tm.tm_sec == fields.second;
    return {static_cast<std::int64_t>(t), exists};
}

std::int64_t InRange(std::int64_t moment)
{
    return moment < kEarliestMoment || moment > kLatestMoment ? kInvalidMoment : moment;
}

}  // namespace

std::int64_t DailyLocalTime(const LocalFields& fields)
{
    if (fields.year < 1 || fields.year > 9999 || fields.month < 1 || fields.month > 12 || fields.day < 1 ||
        fields.day > 31 || TimeOfDay(fields) < 0) {
        return MakeLocalTime(fields);  // rolls over, as every other moment does
    }
    const Reading standard = ReadAs(fields, 0);
    const Reading summer = ReadAs(fields, 1);
    if (standard.exists && summer.exists) {
        return InRange(std::min(standard.moment, summer.moment));
    }
    if (standard.exists || summer.exists) {
        return InRange(standard.exists ? standard.moment : summer.moment);
    }
    // In the skipped hour: the later reading is the one with the offset in
    // force before the change, which lands as far after the gap as the time
    // lies inside it.
    if (standard.moment == kInvalidMoment || summer.moment == kInvalidMoment) {
        return kInvalidMoment;
    }
    return InRange(std::max(standard.moment, summer.moment));
}

LocalFields NextCalendarDay(LocalFields fields)
{
    // Noon exists on every day, whatever the clock does that night.
    const std::int64_t noon = MakeLocalTime({fields.year, fields.month, fields.day + 1, 12, 0, 0});
    if (noon == kInvalidMoment) {
        fields.year = 0;  // out of range: DailyLocalTime refuses it
        return fields;
    }
    const LocalFields next = BreakLocalTime(noon);
    fields.year = next.year;
    fields.month = next.month;
    fields.day = next.day;
    return fields;
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

int TimeOfDay(const LocalFields& fields)
{
    if (fields.hour < 0 || fields.hour > 23 || fields.minute < 0 || fields.minute > 59 || fields.second < 0 ||
        fields.second > 59) {
        return -1;
    }
    return fields.hour * 3600 + fields.minute * 60 + fields.second;
}

LocalFields WithTimeOfDay(LocalFields fields, int seconds)
{
    if (seconds >= 0 && seconds < 86'400) {
        fields.hour = seconds / 3600;
        fields.minute = seconds / 60 % 60;
        fields.second = seconds % 60;
    }
    return fields;
}

std::int64_t NowSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}
