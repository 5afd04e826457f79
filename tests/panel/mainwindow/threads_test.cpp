// What the window shows of the live readings and the watchdog, and how it
// stops: closing, Enter and Escape, and its destructor.
#include "fixture.h"

#include <QElapsedTimer>

namespace panel_test {
namespace {

using ThreadsTest = MainWindowTest;

TEST_F(ThreadsTest, ReadingsAreFormattedForTheirDisplays)
{
    CTransmitterDlg& dlg = OpenQuiet();
    const auto show = [&](ReadingKind kind, int value) { emit dlg.Core().readingArrived(kind, value); };
    const std::pair<ReadingKind, int> readings[] = {
        {ReadingKind::Frequency, 1000}, {ReadingKind::ForwardPower, 5}, {ReadingKind::Swr, 13},
        {ReadingKind::LineVolume, 7},   {ReadingKind::MicVolume, 30},   {ReadingKind::Temperature, 7},
        {ReadingKind::Level, 300},      {ReadingKind::Mono, 0},         {ReadingKind::Failure, TALVEX_E_READ_TIMEOUT},
    };
    for (const auto& [kind, value] : readings) {
        show(kind, value);
    }
    EXPECT_EQ(Display(dlg, IDC_DISP_FREQ).Text(), "100.0");
    EXPECT_EQ(Display(dlg, IDC_DISP_FWDPOWER).Text(), "0.5");
    EXPECT_EQ(Display(dlg, IDC_DISP_SWR).Text(), "1.3");
    EXPECT_EQ(Display(dlg, IDC_DISP_LINEVOL).Text(), "07");
    EXPECT_EQ(Display(dlg, IDC_DISP_MICVOL).Text(), "30");
    EXPECT_EQ(Display(dlg, IDC_DISP_TEMPERATURE).Text(), "07");
    EXPECT_EQ(Get<CSkinProgress>(dlg, IDC_PROGRESS_AUDIO).GetPos(), 255);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_STMONO), QStringLiteral("ST"));
    EXPECT_TRUE(m_messages.Messages().empty()) << "failures are silent";

    show(ReadingKind::Level, 17);
    show(ReadingKind::Mono, 4);
    EXPECT_EQ(Get<CSkinProgress>(dlg, IDC_PROGRESS_AUDIO).GetPos(), 17);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_STMONO), QStringLiteral("MONO"));
}

TEST_F(ThreadsTest, PollersBringTheTransmitterReadingsToTheDisplays)
{
    ChangeState([](SimState& s) { s.frequency = 955; });
    SimReadings readings;
    readings.temperature = 41;
    readings.level = 1000;
    m_sim.SetReadings(readings);
    CTransmitterDlg& dlg = Open();

    ASSERT_TRUE(PumpUntil([&] { return Display(dlg, IDC_DISP_TEMPERATURE).Text() == "41"; }));
    EXPECT_EQ(Display(dlg, IDC_DISP_FREQ).Text(), "95.5");
    EXPECT_TRUE(PumpUntil([&] { return Get<CSkinProgress>(dlg, IDC_PROGRESS_AUDIO).GetPos() == 255; }));
}

TEST_F(ThreadsTest, TheWatchdogsWarningIsTheWindowsOwn)
{
    CTransmitterDlg& dlg = OpenQuiet();
    CloseComm();  // with no port every check fails
    for (int check = 0; check < 3; ++check) {
        dlg.Core().OnTimer();
    }
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("The Device is not connected.")});
    EXPECT_EQ(m_messages.Messages().front().owner, &dlg);
}

TEST_F(ThreadsTest, ClosingWhileTheTransmitterHangsEndsEveryThread)
{
    CTransmitterDlg& dlg = Open();
    Silence(kSimAllCommands, true);
    m_sim.ClearReceived();
    // Let a poller get caught in a transaction that will not be answered.
    ASSERT_TRUE(m_sim.WaitForFrames(1, std::chrono::milliseconds(2000)));

    QElapsedTimer clock;
    clock.start();
    dlg.close();
    const qint64 elapsed = clock.elapsed();

    EXPECT_FALSE(dlg.Core().IsPolling());
    EXPECT_FALSE(dlg.Schedule().m_thread.joinable());
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_EQ(dlg.result(), IDC_CANCEL);
    // One hung transaction (about 2 s) at most, not a fixed pause on top.
    EXPECT_LT(elapsed, 4000);

    // Nothing arrives after the stop, not even what was queued before it.
    m_sim.ClearFaults();
    m_sim.ClearReceived();
    emit Slider(dlg, IDC_SLIDER_FREQ).wheelStep(900);
    emit dlg.Schedule().taskDue(TASK_STARTUP);
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ThreadsTest, EnterAndEscapeStopLikeClosing)
{
    for (const auto key : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(key == Qt::Key_Escape ? "Escape" : "Enter");
        CTransmitterDlg& dlg = Open();
        dlg.show();
        QTest::keyClick(&dlg, key);
        EXPECT_EQ(dlg.result(), key == Qt::Key_Escape ? IDC_CANCEL : IDC_OK);
        EXPECT_FALSE(dlg.Core().IsPolling());
        EXPECT_EQ(IsOpen(), 0);
        m_dlg.reset();
    }
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
