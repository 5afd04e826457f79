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

// The moment of the local wall-clock time `fields` as a daily schedule keeps
// it, on a day the clock changes too: a time that occurs twice (the hour
// repeated when summer time ends) is its first occurrence; a time that does
// not occur (the hour skipped when it begins) moves on by the length of the
// gap, so 02:30 becomes 03:30. Fields out of range roll over as in
// MakeLocalTime; a result outside [kEarliestMoment, kLatestMoment] gives
// kInvalidMoment.
std::int64_t DailyLocalTime(const LocalFields& fields);

// The date (year, month, day) after that of `fields`; the time of day is kept.
LocalFields NextCalendarDay(LocalFields fields);

// The local calendar fields of `moment`.
LocalFields BreakLocalTime(std::int64_t moment);

// Seconds after midnight of the fields' time of day; -1 when a field is out
// of range.
int TimeOfDay(const LocalFields& fields);
// `fields` at the time of day `seconds` after midnight (unchanged for -1).
LocalFields WithTimeOfDay(LocalFields fields, int seconds);

// The current moment, whole seconds (wall clock).
std::int64_t NowSeconds();
