// The schedule timer for real: its wait, its re-arming and its stop.
#include "core/LocalTime.h"
#include "core/ScheduleTimer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(ScheduleTimerWait, FiresAtTheArmedSecondArmingAgainReplacesItAndStopEndsItAtOnce)
{
    ScheduleTimer timer;
    const std::int64_t now = NowSeconds();
    timer.Arm(now + 3600);
    auto wait = std::async(std::launch::async, [&] { return timer.Wait(); });
    ASSERT_EQ(wait.wait_for(50ms), std::future_status::timeout) << "fired long before its moment";
    timer.Arm(now + 1);
    ASSERT_EQ(wait.wait_for(3s), std::future_status::ready) << "the new due time was not taken";
    EXPECT_EQ(wait.get(), ScheduleTimer::WaitResult::Fired);
    EXPECT_GE(NowSeconds(), now + 1);
    EXPECT_FALSE(timer.DueTime()) << "a satisfied wait disarms the timer";

    timer.Arm(now + 3600);
    wait = std::async(std::launch::async, [&] { return timer.Wait(); });
    std::this_thread::sleep_for(30ms);
    const Clock::time_point stop = Clock::now();
    timer.Stop();
    ASSERT_EQ(wait.wait_for(2s), std::future_status::ready);
    EXPECT_LT(Clock::now() - stop, 200ms);
    EXPECT_EQ(wait.get(), ScheduleTimer::WaitResult::Stopped);
}
