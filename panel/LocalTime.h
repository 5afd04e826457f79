#pragma once
// Local calendar fields <-> moments in time. A moment is a 64-bit count of
// seconds since 1970-01-01 00:00 UTC, so schedules reach well past 2038.
// The local zone is the C library's (TZ); daylight saving is left to it.

#include <cstdint>

struct LocalFields {
    int year = 1970;  // four-digit year
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;   // 0..59
    int second = 0;   // 0..59 (60 on a leap second)
};

// Earliest and latest moments a schedule row can hold: 1970-01-01 00:00:00 UTC
// and 9999-12-31 23:59:59 UTC (the date pickers stop at year 9999).
constexpr std::int64_t kEarliestMoment = 0;
constexpr std::int64_t kLatestMoment = 253402300799;
// What an unrepresentable date turns into; it lies in the past.
constexpr std::int64_t kInvalidMoment = -1;

// The moment of the local wall-clock time `fields`, with the platform deciding
// whether daylight saving applies. Fields out of range roll over (month 13 is
// January of the next year, hour 24 the next day). A result outside
// [kEarliestMoment, kLatestMoment] gives kInvalidMoment.
std::int64_t MakeLocalTime(const LocalFields& fields);

// The local calendar fields of `moment`.
LocalFields BreakLocalTime(std::int64_t moment);

// The local date of `now` at hour:minute:second.
std::int64_t TodayAt(std::int64_t now, int hour, int minute, int second);

// The current moment, whole seconds (wall clock).
std::int64_t NowSeconds();
