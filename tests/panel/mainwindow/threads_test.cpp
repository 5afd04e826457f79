// Live readings, the status and level threads, the watchdog and stopping.
#include "fixture.h"

#include <QElapsedTimer>
#include <QTest>

namespace panel_test {
namespace {

using ThreadsTest = MainWindowTest;

int CountCode(const std::vector<Frame>& frames, int code)
{
    int count = 0;
    for (const Frame& f : frames) {
        count += f.size() > 2 && f[2] == code;
    }
    return count;
}

TEST_F(ThreadsTest, ReadingsAreFormattedForTheirDisplays)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    const std::pair<ReadingKind, int> readings[] = {
        {ReadingKind::Frequency, 1000}, {ReadingKind::ForwardPower, 5}, {ReadingKind::Swr, 13},
        {ReadingKind::LineVolume, 7},   {ReadingKind::MicVolume, 30},   {ReadingKind::Temperature, 7},
        {ReadingKind::Level, 300},      {ReadingKind::Mono, 0},
    };
    for (const auto& [kind, value] : readings) {
        PostPanelMessage(&dlg, WM_DEVICE_READING, static_cast<std::intptr_t>(kind), value);
    }
    QCoreApplication::sendPostedEvents(&dlg);

    EXPECT_EQ(dlg.m_dispFreq.Text(), "100.0");
    EXPECT_EQ(dlg.m_dispFwdPower.Text(), "0.5");
    EXPECT_EQ(dlg.m_dispSwr.Text(), "1.3");
    EXPECT_EQ(dlg.m_dispLineVol.Text(), "07");
    EXPECT_EQ(dlg.m_dispMicVol.Text(), "30");
    EXPECT_EQ(dlg.m_dispTemperature.Text(), "07");
    EXPECT_EQ(dlg.m_progressAudio.GetPos(), 255);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_STMONO), QStringLiteral("ST"));

    PostPanelMessage(&dlg, WM_DEVICE_READING, static_cast<std::intptr_t>(ReadingKind::Level), 17);
    PostPanelMessage(&dlg, WM_DEVICE_READING, static_cast<std::intptr_t>(ReadingKind::Mono), 4);
    QCoreApplication::sendPostedEvents(&dlg);
    EXPECT_EQ(dlg.m_progressAudio.GetPos(), 17);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_STMONO), QStringLiteral("MONO"));
}

TEST_F(ThreadsTest, PollersBringTheTransmitterReadingsToTheDisplays)
{
    ChangeState([](SimState& s) {
        s.frequency = 955;
        s.lineVolume = 4;
        s.micVolume = 12;
        s.mono = false;
    });
    SimReadings readings;
    readings.forwardPower = 123;
    readings.swr = 14;
    readings.temperature = 41;
    readings.level = 1000;
    m_sim.SetReadings(readings);
    CTransmitterDlgTestSeam& dlg = Open();

    ASSERT_TRUE(PumpUntil([&] { return dlg.m_dispTemperature.Text() == "41"; }, std::chrono::milliseconds(5000)));
    EXPECT_EQ(dlg.m_dispFreq.Text(), "95.5");
    EXPECT_EQ(dlg.m_dispFwdPower.Text(), "12.3");
    EXPECT_EQ(dlg.m_dispSwr.Text(), "1.4");
    EXPECT_EQ(dlg.m_dispLineVol.Text(), "04");
    EXPECT_EQ(dlg.m_dispMicVol.Text(), "12");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_STMONO), QStringLiteral("ST"));
    EXPECT_TRUE(PumpUntil([&] { return dlg.m_progressAudio.GetPos() == 255; }));
}

TEST_F(ThreadsTest, StatusCycleStopsAtTheFirstFailedReading)
{
    Refuse(0x14, true);  // forward power
    CTransmitterDlgTestSeam& dlg = Open();
    dlg.m_rtVolPoller.Stop();
    m_sim.ClearReceived();

    ASSERT_TRUE(PumpUntil([&] { return CountCode(Sent(), 0x14) >= 2; }, std::chrono::milliseconds(5000)));
    const std::vector<Frame> sent = Sent();
    EXPECT_GE(CountCode(sent, 0x18), 2);
    EXPECT_GE(CountCode(sent, 0x1C), 2);
    for (int skipped : {0x16, 0x1D, 0x1E, 0x17}) {
        EXPECT_EQ(CountCode(sent, skipped), 0) << "code " << skipped << " in " << FramesToString(sent);
    }
    EXPECT_TRUE(PumpUntil([&] { return dlg.m_dispFreq.Text() != "0.0"; }));
    EXPECT_EQ(dlg.m_dispTemperature.Text(), "00");
}

TEST_F(ThreadsTest, WatchdogWarnsOnTheThirdFailedCheckAndNeverStacks)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();

    Refuse(0x17);
    dlg.OnTimer(1);
    dlg.OnTimer(1);  // a success does not reset the count
    Refuse(0x17);
    dlg.OnTimer(1);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(FramesToString(Sent()), "01 01 17 | 01 01 17 | 01 01 17");

    // Third failure: the warning. While it is on screen no check is made.
    std::size_t framesWhileShown = 99;
    m_messages.OnMessage([&](const RecordedMessage&) {
        m_sim.ClearReceived();
        dlg.OnTimer(1);
        dlg.OnTimer(1);
        framesWhileShown = Sent().size();
    });
    Refuse(0x17);
    dlg.OnTimer(1);
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("The Device is not connected.")});
    EXPECT_EQ(m_messages.Messages().front().owner, &dlg);
    EXPECT_EQ(framesWhileShown, 0u);

    // The count starts again after the warning; other timers are not checks.
    m_messages.OnMessage(nullptr);
    m_messages.Clear();
    m_sim.ClearReceived();
    dlg.OnTimer(2);
    EXPECT_TRUE(Sent().empty());
    CloseComm();  // with no port every check fails
    dlg.OnTimer(1);
    dlg.OnTimer(1);
    EXPECT_TRUE(m_messages.Messages().empty());
    dlg.OnTimer(1);
    EXPECT_EQ(m_messages.Messages().size(), 1u);
}

TEST_F(ThreadsTest, ClosingWhileTheTransmitterHangsEndsEveryThread)
{
    CTransmitterDlgTestSeam& dlg = Open();
    Silence(kSimAllCommands, true);
    m_sim.ClearReceived();
    // Let a poller get caught in a transaction that will not be answered.
    ASSERT_TRUE(m_sim.WaitForFrames(1, std::chrono::milliseconds(2000)));

    QElapsedTimer clock;
    clock.start();
    dlg.close();
    const qint64 elapsed = clock.elapsed();

    EXPECT_FALSE(dlg.m_statusPoller.m_hThread.joinable());
    EXPECT_FALSE(dlg.m_rtVolPoller.m_hThread.joinable());
    EXPECT_FALSE(dlg.m_schedule.m_hThread.joinable());
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_EQ(dlg.result(), IDC_CANCEL);
    // One hung transaction (about 2 s) at most, not a fixed pause on top.
    EXPECT_LT(elapsed, 4000);

    // Nothing arrives after the stop.
    m_sim.ClearFaults();
    m_sim.ClearReceived();
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ThreadsTest, EnterAndEscapeStopLikeClosing)
{
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(key == Qt::Key_Escape ? "Escape" : "Enter");
        CTransmitterDlgTestSeam& dlg = Open();
        dlg.show();
        QTest::keyClick(&dlg, key);
        EXPECT_EQ(dlg.result(), key == Qt::Key_Escape ? IDC_CANCEL : IDC_OK);
        EXPECT_FALSE(dlg.m_statusPoller.m_hThread.joinable());
        EXPECT_FALSE(dlg.m_rtVolPoller.m_hThread.joinable());
        EXPECT_EQ(IsOpen(), 0);
        m_dlg.reset();
    }
}

TEST_F(ThreadsTest, LateMessagesAfterTheStopAreDropped)
{
    CTransmitterDlgTestSeam& dlg = Open();
    dlg.OnClose();
    m_sim.ClearReceived();
    PostPanelMessage(&dlg, WM_DEVICE_READING, static_cast<std::intptr_t>(ReadingKind::Frequency), 1000);
    emit dlg.m_sliderFreq.wheelStep(900);
    PostPanelMessage(&dlg, WM_SCHEDULED_TASK, TASK_STARTUP, 0);
    QCoreApplication::sendPostedEvents(&dlg);
    EXPECT_NE(dlg.m_dispFreq.Text(), "100.0");
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ThreadsTest, DestroyingARunningWindowStopsItsThreads)
{
    Open();
    m_sim.ClearReceived();
    ASSERT_TRUE(m_sim.WaitForFrames(2, std::chrono::milliseconds(2000)));
    m_dlg.reset();  // no close, no Escape: the destructor must stop everything
    EXPECT_EQ(IsOpen(), 0);
    m_sim.ClearReceived();
    PumpFor(std::chrono::milliseconds(250));
    EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace panel_test
