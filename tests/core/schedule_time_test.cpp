// Moments after 2038 and across daylight-saving changes, in explicit zones.
#include "core/LocalTime.h"
#include "core/ScheduleRules.h"
#include "core/TaskSchedule.h"

#include "schedule_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace schedule_test;

TEST(ScheduleLocalTime, MomentsAfter2038AreBuiltBrokenAndArmedWithoutLoss)
{
    const ScopedTimeZone zone(kCentralEurope);
    const std::int64_t moment = MakeLocalTime({2040, 7, 1, 8, 30, 0});  // summer time, UTC+2
    EXPECT_EQ(moment, Utc(2040, 7, 1, 6, 30, 0));
    const TaskRecord record = RecordFromRow({moment, TASK_STARTUP});
    EXPECT_EQ(std::vector<int>({record.year, record.month, record.day, record.hour, record.minute, record.second}),
              std::vector<int>({2040, 7, 1, 8, 30, 0}));

    CTaskSchedule schedule;
    schedule.m_tasks[1] = {moment, TASK_STARTUP};
    schedule.ArmNextTask(ArmRule::Load, Utc(2039, 12, 31));
    EXPECT_EQ(schedule.m_timer.DueTime(), Utc(2040, 7, 1, 6, 30, 0));
}

TEST(ScheduleLocalTime, FieldsRollOverAndUnrepresentableDatesGiveMinusOne)
{
    const ScopedTimeZone zone(kUtc);
    EXPECT_EQ(MakeLocalTime({2030, 13, 1, 0, 0, 0}), Utc(2031, 1, 1));
    EXPECT_EQ(MakeLocalTime({2030, 2, 30, 24, 0, -1}), Utc(2030, 3, 2, 23, 59, 59));
    EXPECT_EQ(MakeLocalTime({1970, 1, 1, 0, 0, 0}), 0);
    EXPECT_EQ(MakeLocalTime({9999, 12, 31, 23, 59, 59}), Utc(9999, 12, 31, 23, 59, 59));
    for (const LocalFields& bad : {LocalFields{0, 0, 0, 0, 0, 0}, LocalFields{1969, 12, 31, 23, 59, 59},
                                   LocalFields{10000, 1, 1, 0, 0, 0}, LocalFields{INT_MAX, 1, 1, INT_MAX, 0, 0},
                                   LocalFields{INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN, INT_MIN}}) {
        EXPECT_EQ(MakeLocalTime(bad), -1) << "year " << bad.year;
    }
}

// Armed for the row's absolute moment, a task after a daylight-saving change
// fires at its local time, not an hour early or late.
TEST(ScheduleLocalTime, ATaskAfterADaylightSavingChangeFiresAtItsLocalTime)
{
    const ScopedTimeZone zone(kCentralEurope);
    struct Case {
        std::int64_t now;
        LocalFields due;
        std::int64_t dueUtc;
    };
    const Case cases[] = {
        {Utc(2030, 3, 30, 11, 0, 0), {2030, 4, 2, 12, 0, 0}, Utc(2030, 4, 2, 10, 0, 0)},       // winter -> summer
        {Utc(2030, 10, 26, 10, 0, 0), {2030, 10, 28, 12, 0, 0}, Utc(2030, 10, 28, 11, 0, 0)},  // summer -> winter
    };
    for (const Case& c : cases) {
        CTaskSchedule schedule;
        schedule.m_tasks[2] = {MakeLocalTime(c.due), TASK_STARTUP};
        schedule.ArmNextTask(ArmRule::Dialog, c.now);
        EXPECT_EQ(schedule.m_timer.DueTime(), c.dueUtc) << "armed at " << c.now;
    }
    // An everyday row on the day the clocks go forward (now 00:30 winter time).
    EXPECT_EQ(NextDailyMoment(Utc(2030, 3, 30, 23, 30, 0), 6, 0, 0), Utc(2030, 3, 31, 4, 0, 0));
}

// An everyday row keeps its wall-clock time on the days the clock changes,
// both when it is set and after it fires, and is saved at that time: 06:00
// stays 06:00, 23 or 25 hours after the last firing. 02:30 does not exist
// on the spring day: the row fires when the clock would have shown it, an
// hour on (03:30 summer time), and is back at 02:30 the next day. On the
// autumn day 02:30 occurs twice: the row fires at the first, once.
TEST(ScheduleDaylightSaving, EverydayRowsKeepTheirWallClockTime)
{
    const ScopedTimeZone zone(kCentralEurope);  // 2030: summer time from 31 March to 27 October
    struct Case {
        const char* name;
        int hour, minute;
        std::int64_t loadedAt;  // when the row is loaded from its record
        std::int64_t firstDue;
        std::int64_t nextDue;  // after it fired
    } const cases[] = {
        {"spring", 6, 0, Utc(2030, 3, 30, 0, 0, 0), Utc(2030, 3, 30, 5, 0, 0), Utc(2030, 3, 31, 4, 0, 0)},
        {"autumn", 6, 0, Utc(2030, 10, 26, 0, 0, 0), Utc(2030, 10, 26, 4, 0, 0), Utc(2030, 10, 27, 5, 0, 0)},
        {"skipped", 2, 30, Utc(2030, 3, 30, 23, 0, 0), Utc(2030, 3, 31, 1, 30, 0), Utc(2030, 4, 1, 0, 30, 0)},
        {"repeated", 2, 30, Utc(2030, 10, 26, 22, 0, 0), Utc(2030, 10, 27, 0, 30, 0), Utc(2030, 10, 28, 1, 30, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScheduledTask rows[kTaskRows];
        rows[3] = RowFromRecord({2000, 1, 1, c.hour, c.minute, 0, TASK_STARTUP}, 3, c.loadedAt);
        EXPECT_EQ(rows[3].time, c.firstDue);
        const TaskRecord saved = RecordFromRow(rows[3]);
        EXPECT_EQ(std::vector<int>({saved.hour, saved.minute}), std::vector<int>({c.hour, c.minute}));
        AdvanceFiredTask(rows, 3);
        EXPECT_EQ(rows[3].time, c.nextDue);
        // Set in the dialog an hour before, it is due the same moment.
        EXPECT_EQ(NextDailyMoment(c.nextDue - 3600, c.hour, c.minute, 0), c.nextDue);
    }
}
