#pragma once
// One row of the schedule.

#include <cstdint>

constexpr int kTaskRows = 5;  // rows 0..2 one-time, 3..4 everyday
constexpr int kFirstEverydayRow = 3;

constexpr int TASK_NOTHING = 0;
constexpr int TASK_STARTUP = 1;
constexpr int TASK_SHUTDOWN = 2;

struct ScheduledTask {
    std::int64_t time = 0;         // due moment, seconds since 1970-01-01 UTC
    int operation = TASK_NOTHING;  // any non-zero value counts as enabled
    // Everyday rows: the wall-clock time of day the row keeps, in seconds
    // after local midnight; -1 when unknown (then `time`'s own). A day with
    // a clock change can move `time` off it: 02:30 does not exist on the
    // day summer time begins.
    int timeOfDay = -1;
};
