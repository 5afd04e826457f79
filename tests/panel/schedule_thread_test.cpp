// The scheduler for real: its timer and thread, the posted message, and the
// main window's handler driving the simulated transmitter.
#include "support/PanelTestSupport.h"

#include "ImageButton.h"
#include "LocalTime.h"
#include "ScheduleTimer.h"
#include "TransmitterDlg.h"

#include <Talvex.h>

#include <QCoreApplication>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

using namespace panel_test;
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

// The main window on the simulator, its pollers stopped so that the line
// carries only what the schedule does.
class ScheduleWindowTest : public PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        PanelOptions options;
        options.ports = QStringList{SimPort()};
        m_dlg = std::make_unique<CTransmitterDlg>(options);
        ASSERT_TRUE(m_dlg->OnInitDialog());
        m_dlg->m_rtVolPoller.Stop();
        m_dlg->m_statusPoller.Stop();
        QCoreApplication::sendPostedEvents();
        m_sim.ClearReceived();
    }
    void TearDown() override
    {
        m_dlg.reset();
        PanelTest::TearDown();
    }

    ColorRef PowerColour() const { return m_dlg->m_btnPower.GetStateColor(IBC_BK_NORMAL); }

    // Row `row` falls due within a second (armed directly: the choosing
    // rules never fire sooner than 10 s).
    void DueNow(int row, int operation)
    {
        CTaskSchedule& schedule = m_dlg->m_schedule;
        std::lock_guard lock(schedule.m_lock);
        const std::int64_t now = NowSeconds();
        schedule.m_tasks[row] = {now + 1, operation};
        schedule.m_nextTask = row;
        schedule.m_timer.Arm(now + 1);
    }

    std::unique_ptr<CTransmitterDlg> m_dlg;
};

TEST_F(ScheduleWindowTest, DueTasksShutTheTransmitterDownAndStartItUp)
{
    const Frame shutDown{0x01, 0x01, 0x02};
    const Frame startUp{0x01, 0x01, 0x03};
    m_dlg->m_bPowerOff = 0;
    DueNow(0, TASK_SHUTDOWN);
    ASSERT_TRUE(PumpUntil([&] { return m_dlg->m_bPowerOff == 1; }, 4000ms)) << FramesToString(Sent());
    EXPECT_EQ(Sent(), std::vector<Frame>{shutDown});
    EXPECT_EQ(PowerColour(), m_dlg->m_clrIdle);
    EXPECT_EQ(m_dlg->m_schedule.Snapshot()[0].operation, TASK_NOTHING);

    m_sim.ClearReceived();
    DueNow(3, TASK_STARTUP);
    ASSERT_TRUE(PumpUntil([&] { return m_dlg->m_bPowerOff == 0; }, 4000ms)) << FramesToString(Sent());
    EXPECT_EQ(Sent(), std::vector<Frame>{startUp});
    EXPECT_EQ(PowerColour(), m_dlg->m_clrActive);
    EXPECT_EQ(m_dlg->m_schedule.m_timer.DueTime(), m_dlg->m_schedule.Snapshot()[3].time) << "again tomorrow";

    const Clock::time_point stop = Clock::now();
    m_dlg->m_schedule.StopThread();
    EXPECT_LT(Clock::now() - stop, 200ms) << "stopping does not wait for the next firing";
    EXPECT_FALSE(m_dlg->m_schedule.m_hThread.joinable());
}

TEST_F(ScheduleWindowTest, FailuresAndEmptyOperationsChangeNothingButTheButtonIsRepainted)
{
    const ColorRef stray = Rgb(1, 2, 3);
    m_dlg->m_bPowerOff = 0;
    Refuse(0x02);
    m_dlg->PaintButton(m_dlg->m_btnPower, stray);
    m_dlg->OnScheduledTaskDue(TASK_SHUTDOWN, 0);
    EXPECT_EQ(m_dlg->m_bPowerOff, 0);
    EXPECT_EQ(PowerColour(), m_dlg->m_clrActive);

    m_sim.ClearReceived();
    for (const std::intptr_t operation : {0, 7, -1}) {
        m_dlg->m_bPowerOff = 1;
        m_dlg->PaintButton(m_dlg->m_btnPower, stray);
        m_dlg->OnScheduledTaskDue(operation, 0);
        EXPECT_EQ(PowerColour(), m_dlg->m_clrIdle) << "operation " << operation;
    }
    EXPECT_TRUE(Sent().empty()) << FramesToString(Sent());

    Refuse(0x03);  // a refused start-up still found the transmitter
    m_dlg->OnScheduledTaskDue(TASK_STARTUP, 0);
    EXPECT_EQ(m_dlg->m_bPowerOff, 0);

    m_dlg->m_portNames = QStringList{QStringLiteral("/nonexistent/ttyS99")};
    m_dlg->m_bPowerOff = 1;
    m_dlg->OnScheduledTaskDue(TASK_STARTUP, 0);
    EXPECT_EQ(m_dlg->m_bPowerOff, 1);
    EXPECT_FALSE(IsOpen()) << "a walk that finds nothing leaves no port open";
    EXPECT_TRUE(m_messages.Messages().empty()) << "scheduled failures are silent";
}
