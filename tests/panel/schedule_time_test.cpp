// Moments after 2038 and across daylight-saving changes, in explicit zones.
#include "LocalTime.h"
#include "ScheduleRules.h"
#include "TaskSchedule.h"

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
        {Utc(2030, 3, 30, 11, 0, 0), {2030, 4, 2, 12, 0, 0}, Utc(2030, 4, 2, 10, 0, 0)},     // winter -> summer
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
