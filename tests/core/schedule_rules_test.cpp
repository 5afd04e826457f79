// Choosing, firing and loading rows, as plain logic with an injected now.
#include "core/ScheduleRules.h"
#include "core/TaskSchedule.h"

#include "schedule_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace schedule_test;

namespace {

using Rows = std::array<ScheduledTask, kTaskRows>;
constexpr std::int64_t kNow = Utc(2031, 5, 20, 12, 0, 0);
constexpr ArmRule kAllRules[] = {ArmRule::Load, ArmRule::Dialog, ArmRule::AfterFiring};

// Index and due moment of the choice, or {-1, 0} when nothing is armed.
std::pair<int, std::int64_t> Choose(const Rows& rows, ArmRule rule)
{
    const auto choice = ArmNextTask(rows, rule, kNow);
    return choice ? std::pair{choice->index, choice->due} : std::pair{-1, std::int64_t{0}};
}

}  // namespace

TEST(ScheduleChoice, EachPlaceHasItsOwnCandidatesAndTieRule)
{
    Rows rows{};
    rows[0] = {kNow + 200, TASK_STARTUP};
    rows[1] = {kNow + 100, TASK_STARTUP};
    rows[2] = {kNow + 100, TASK_SHUTDOWN};
    rows[3] = {kNow + 50, TASK_NOTHING};  // disabled rows never count
    EXPECT_EQ(Choose(rows, ArmRule::Load), std::pair(2, kNow + 100)) << "the higher row wins a tie";
    EXPECT_EQ(Choose(rows, ArmRule::Dialog), std::pair(2, kNow + 100));
    EXPECT_EQ(Choose(rows, ArmRule::AfterFiring), std::pair(1, kNow + 100)) << "the lower row wins";

    // Only start-up skips rows that are not strictly later than now; the
    // others take them, and a moment in the past fires 10 s from now.
    rows[4] = {kNow, 7};  // any non-zero operation counts as enabled
    EXPECT_EQ(Choose(rows, ArmRule::Load), std::pair(2, kNow + 100));
    EXPECT_EQ(Choose(rows, ArmRule::Dialog), std::pair(4, kNow + 10));
    EXPECT_EQ(Choose(rows, ArmRule::AfterFiring), std::pair(4, kNow + 10));

    for (ArmRule rule : kAllRules) {
        EXPECT_EQ(Choose(Rows{}, rule).first, -1) << "all rows Nothing arms nothing";
    }
}

TEST(ScheduleChoice, NothingFiresSoonerThanTenSecondsAfterArming)
{
    const std::int64_t offsets[][2] = {{-86'400, 10}, {5, 10}, {9, 10}, {10, 10}, {11, 11}};
    for (const auto& [offset, lead] : offsets) {
        Rows rows{};
        rows[1] = {kNow + offset, TASK_STARTUP};
        EXPECT_EQ(Choose(rows, ArmRule::Dialog), std::pair(1, kNow + lead)) << "due at now" << offset;
    }
}

// The schedule object with its timer, firing without the thread.
class ScheduleFiring : public ::testing::Test
{
protected:
    // What the thread does when the armed timer goes off at `now`.
    int Fire(std::int64_t now)
    {
        EXPECT_TRUE(m_schedule.m_timer.DueTime()) << "nothing was armed";
        m_schedule.m_timer.Arm(0);  // let it go off at once; the wait disarms it
        EXPECT_EQ(m_schedule.m_timer.Wait(), ScheduleTimer::WaitResult::Fired);
        std::lock_guard lock(m_schedule.m_lock);
        return m_schedule.FireNextTask(now);
    }
    CTaskSchedule m_schedule;
};

TEST_F(ScheduleFiring, TwoRowsDueTogetherEndWithTheTransmitterOnAndNothingArmed)
{
    const std::int64_t due = kNow + 600;
    m_schedule.m_tasks[0] = {due, TASK_STARTUP};
    m_schedule.m_tasks[1] = {due, TASK_SHUTDOWN};
    m_schedule.ArmNextTask(ArmRule::Load, kNow);
    EXPECT_EQ(m_schedule.m_timer.DueTime(), due);

    EXPECT_EQ(Fire(due), TASK_SHUTDOWN);
    EXPECT_EQ(m_schedule.m_timer.DueTime(), due + 10) << "row 1 is now in the past";
    EXPECT_EQ(Fire(due + 10), TASK_STARTUP);
    EXPECT_FALSE(m_schedule.m_timer.DueTime()) << "one-time rows fire once";
    EXPECT_EQ(m_schedule.m_tasks[0].time, due);
}

TEST_F(ScheduleFiring, AnEverydayRowMovesOnADayFromItsDueTimeAndCatchesUpAfterSleep)
{
    m_schedule.m_tasks[4] = {kNow - 3 * 86'400 - 100, 7};  // missed for three days
    m_schedule.ArmNextTask(ArmRule::AfterFiring, kNow);
    std::vector<std::int64_t> dues;
    for (std::int64_t now = kNow; now < kNow + 40; now += 10) {
        EXPECT_EQ(Fire(now), 7);
        dues.push_back(m_schedule.m_timer.DueTime().value_or(-1));
    }
    EXPECT_EQ(dues, (std::vector<std::int64_t>{kNow + 10, kNow + 20, kNow + 30, kNow + 86'400 - 100}));
}

TEST_F(ScheduleFiring, ARowDisabledAfterArmingStillFiresOnceWithOperationZero)
{
    m_schedule.m_tasks[2] = {kNow + 50, TASK_STARTUP};
    m_schedule.ArmNextTask(ArmRule::Dialog, kNow);
    m_schedule.m_tasks[2].operation = TASK_NOTHING;  // confirmed as "Nothing" meanwhile
    EXPECT_EQ(Fire(kNow + 50), TASK_NOTHING);
    EXPECT_FALSE(m_schedule.m_timer.DueTime());
}

TEST(ScheduleRows, EverydayRowsFallDueTodayOrTomorrowByTheLocalClock)
{
    const ScopedTimeZone zone(kFixedMinus5);
    const std::int64_t now = Utc(2030, 6, 15, 2, 0, 0);  // 21:00 on the 14th locally
    EXPECT_EQ(NextDailyMoment(now, 23, 0, 0), Utc(2030, 6, 15, 4, 0, 0));
    EXPECT_EQ(NextDailyMoment(now, 21, 0, 0), now);
    EXPECT_EQ(NextDailyMoment(now, 20, 59, 59), Utc(2030, 6, 16, 1, 59, 59));

    // On loading, an everyday row's stored date is ignored; a one-time row
    // that is not in the future is loaded as "Nothing" so it never fires late.
    EXPECT_EQ(RowFromRecord({1999, 1, 1, 23, 0, 0, TASK_STARTUP}, 3, now).time, Utc(2030, 6, 15, 4, 0, 0));
    const ScheduledTask future = RowFromRecord({2030, 6, 15, 0, 0, 1, 7}, 0, now);
    EXPECT_EQ(future.time, Utc(2030, 6, 15, 5, 0, 1));
    EXPECT_EQ(future.operation, 7);
    EXPECT_EQ(RowFromRecord({2030, 6, 14, 21, 0, 0, TASK_STARTUP}, 1, now).operation, TASK_NOTHING);
    const ScheduledTask noDate = RowFromRecord({0, 0, 0, 9, 0, 0, TASK_STARTUP}, 2, now);
    EXPECT_EQ(noDate.time, -1);
    EXPECT_EQ(noDate.operation, TASK_NOTHING);
}
