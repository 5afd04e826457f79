// The running panel against a transmitter that misbehaves: unplugged and
// plugged back in on the same path, refusing, answering garbage, answering
// late, staying silent. The panel must stay responsive and quiet on the CPU,
// freeze and resume its readings, warn through the watchdog, and recover
// through ON/OFF.
#include "fixture.h"

#include <Talvex.h>

#include <QElapsedTimer>

#include <algorithm>
#include <ctime>
#include <memory>

namespace panel_test {
namespace {

constexpr auto kShortWait = std::chrono::milliseconds(6000);
// The request codes only the pollers and the watchdog send; what is left is
// what the operator's actions put on the line.
constexpr std::initializer_list<int> kPollerCodes = {0x22, 0x18, 0x1C, 0x14, 0x16, 0x1D, 0x1E, 0x17};

double CpuSeconds()
{
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

// CPU time the whole process (panel threads and simulator) spends while the
// user-interface thread idles in its event loop for `window`.
double CpuOverQuietWindow(std::chrono::milliseconds window)
{
    const double before = CpuSeconds();
    PumpFor(window);
    return CpuSeconds() - before;
}

SimFault Fault(SimFaultKind kind, int code = kSimAllCommands, bool persistent = false)
{
    SimFault fault;
    fault.kind = kind;
    fault.code = code;
    fault.persistent = persistent;
    return fault;
}

class FaultsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(m_sim.Start(&error)) << error;
        // Start-up readings the displays can be told apart by.
        SetTemperature(41);
    }

    void TearDown() override
    {
        m_dlg.reset();
        CloseComm();
        m_sim.Stop();
    }

    static SimOptions LinkedTo(const TempWorkingDir& dir)
    {
        SimOptions options;
        options.linkPath = (dir.Path() + QStringLiteral("/ttyTalvex")).toStdString();
        return options;
    }

    // The panel on the simulator's link path, with every thread running.
    CTransmitterDlg& Open()
    {
        PanelOptions options;
        options.ports = QStringList{QString::fromStdString(m_sim.LinkPath())};
        m_dlg = std::make_unique<CTransmitterDlg>(options);
        EXPECT_TRUE(m_dlg->OnInitDialog());
        return *m_dlg;
    }

    void SetTemperature(int degrees)
    {
        SimReadings readings;
        readings.forwardPower = 20;
        readings.swr = 12;
        readings.temperature = degrees;
        readings.level = 100;
        m_sim.SetReadings(readings);
    }

    bool ShowsTemperature(const char* text)
    {
        return PumpUntil([&] { return Display(*m_dlg, IDC_DISP_TEMPERATURE).Text() == text; }, kShortWait);
    }

    // Presses ON/OFF; the press must come back within `limit`.
    void PressPower(std::chrono::milliseconds limit = std::chrono::milliseconds(3000))
    {
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(&Button(*m_dlg, IDC_BTN_POWER), Qt::LeftButton);
        EXPECT_LT(clock.elapsed(), limit.count()) << "ON/OFF held the user-interface thread";
    }

    std::string OperatorFrames() const { return FramesToString(FramesWithout(m_sim.ReceivedFrames(), kPollerCodes)); }

    MessageBoxRecorder m_messages;
    TempConfigHome m_configHome;
    TempWorkingDir m_workDir;
    SimTransmitter m_sim{LinkedTo(m_workDir)};
    std::unique_ptr<CTransmitterDlg> m_dlg;
};

TEST_F(FaultsTest, UnpluggedTransmitterFreezesWarnsAndComesBackThroughOnOff)
{
    CTransmitterDlg& dlg = Open();
    ASSERT_TRUE(ShowsTemperature("41"));
    ASSERT_TRUE(dlg.Core().IsPowerOn());

    // Unplugged: nothing reaches the displays, and failing fast must not
    // turn the pollers into a busy loop.
    m_sim.HangUp(std::chrono::milliseconds(-1));
    ASSERT_TRUE(PumpUntil([&] { return !m_sim.IsLineUp(); }));
    SetTemperature(55);
    EXPECT_LT(CpuOverQuietWindow(std::chrono::milliseconds(1000)), 0.3);
    EXPECT_EQ(Display(dlg, IDC_DISP_TEMPERATURE).Text(), "41");
    EXPECT_TRUE(m_messages.Messages().empty());

    // The watchdog warns on its third failed check, not before.
    dlg.Core().OnTimer();
    dlg.Core().OnTimer();
    EXPECT_TRUE(m_messages.Messages().empty());
    dlg.Core().OnTimer();
    ASSERT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("The Device is not connected.")});
    EXPECT_EQ(m_messages.Messages().front().owner, &dlg);
    m_messages.Clear();

    // ON/OFF while unplugged: the power-off fails and closes the port; the
    // next press finds no transmitter on the list.
    PressPower();
    EXPECT_EQ(m_messages.Texts(), std::vector<QString>{QStringLiteral("Power Off Fail")});
    EXPECT_FALSE(dlg.Core().IsPowerOn());
    EXPECT_EQ(IsOpen(), 0);
    m_messages.Clear();
    PressPower();
    EXPECT_EQ(m_messages.Messages(),
              (std::vector<RecordedMessage>{Msg("The Device is not connected."), Msg("Power On Fail")}));
    EXPECT_FALSE(dlg.Core().IsPowerOn());
    m_messages.Clear();

    // Plugged back in on the same path: no reconnection by itself.
    m_sim.ComeBack();
    ASSERT_TRUE(m_sim.WaitForLine(2, std::chrono::milliseconds(2000)));
    m_sim.ClearReceived();
    PumpFor(std::chrono::milliseconds(700));
    EXPECT_EQ(FramesToString(m_sim.ReceivedFrames()), "(none)");
    EXPECT_EQ(Display(dlg, IDC_DISP_TEMPERATURE).Text(), "41");

    // ON/OFF reconnects: the probe first, then the settings are read again.
    PressPower();
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_TRUE(dlg.Core().IsPowerOn());
    EXPECT_EQ(IsOpen(), 1);
    const std::vector<Frame> sent = m_sim.ReceivedFrames();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(FramesToString({sent.front()}), "01 01 03") << FramesToString(sent);
    EXPECT_EQ(OperatorFrames(), "01 01 03 | 01 01 1B | 01 01 1F");
    EXPECT_FALSE(m_sim.State().standby);

    // Readings resume.
    EXPECT_TRUE(ShowsTemperature("55"));
    EXPECT_TRUE(m_messages.Messages().empty());

    // Unplugged again, and back while the operator reads "not connected"
    // after a press of ON/OFF; a scheduled start-up due just then connects.
    // The press itself failed, but the connection the start-up made stays.
    m_sim.HangUp(std::chrono::milliseconds(-1));
    ASSERT_TRUE(PumpUntil([&] { return !m_sim.IsLineUp(); }));
    PressPower();
    ASSERT_EQ(m_messages.Texts(), std::vector<QString>{QStringLiteral("Power Off Fail")});
    m_messages.Clear();
    m_messages.OnMessage([&](const RecordedMessage& message) {
        if (message.text != QStringLiteral("The Device is not connected.")) {
            return;
        }
        m_sim.ComeBack();
        ASSERT_TRUE(m_sim.WaitForLine(3, std::chrono::milliseconds(2000)));
        m_sim.ClearReceived();
        // What the box's own event loop would deliver meanwhile.
        emit dlg.Schedule().taskDue(TASK_STARTUP);
        QCoreApplication::sendPostedEvents(&dlg);
    });
    PressPower();
    m_messages.OnMessage(nullptr);
    EXPECT_EQ(m_messages.Messages(),
              (std::vector<RecordedMessage>{Msg("The Device is not connected."), Msg("Power On Fail")}));
    EXPECT_EQ(IsOpen(), 1);
    EXPECT_TRUE(dlg.Core().IsPowerOn());
    EXPECT_EQ(OperatorFrames(), "01 01 03");
}

TEST_F(FaultsTest, SilenceRefusalsGarbageAndLateAnswers)
{
    CTransmitterDlg& dlg = Open();
    ASSERT_TRUE(ShowsTemperature("41"));
    const int freq = dlg.Core().Accepted(CTransmitterCore::Quantity::Frequency);

    // Silent: a press waits out its own unanswered request, and before that
    // the device mutex, which each poller may hold for one unanswered request
    // of its own (about 2 s each); in between nothing spins.
    m_sim.InjectFault(Fault(SimFaultKind::Silent, kSimAllCommands, true));
    SetTemperature(57);
    EXPECT_LT(CpuOverQuietWindow(std::chrono::milliseconds(800)), 0.25);
    const bool lineOn = dlg.Core().IsActive(CTransmitterCore::Function::Line);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(&Button(dlg, IDC_BTN_LINE), Qt::LeftButton);
    EXPECT_LT(clock.elapsed(), 7000);
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_EQ(m_messages.Texts(),
              std::vector<QString>{lineOn ? QStringLiteral("Line Off Fail") : QStringLiteral("Line On Fail")});
    EXPECT_EQ(dlg.Core().IsActive(CTransmitterCore::Function::Line), lineOn);
    EXPECT_EQ(Display(dlg, IDC_DISP_TEMPERATURE).Text(), "41");

    m_sim.ClearFaults();
    EXPECT_TRUE(ShowsTemperature("57"));
    m_messages.Clear();

    // Refusing everything: readings freeze; a refused power-off closes the
    // port, and the next ON/OFF probes the list again, where a refusal
    // still counts as an answer.
    m_sim.InjectFault(Fault(SimFaultKind::Refuse, kSimAllCommands, true));
    SetTemperature(33);  // not to be shown while refused
    m_sim.ClearReceived();
    // Each status cycle now ends at its refused state request (the watchdog
    // may ask for the temperature meanwhile).
    ASSERT_TRUE(PumpUntil(
        [&] {
            const auto sent = m_sim.ReceivedFrames();
            return std::count_if(sent.begin(), sent.end(), [](const Frame& f) { return f[2] == 0x18; }) >= 2;
        },
        kShortWait));
    EXPECT_EQ(FramesToString(FramesWithout(m_sim.ReceivedFrames(), {0x22, 0x18, 0x17})), "(none)");
    EXPECT_EQ(Display(dlg, IDC_DISP_TEMPERATURE).Text(), "57");
    m_sim.ClearReceived();
    PressPower();
    EXPECT_EQ(m_messages.Texts(), std::vector<QString>{QStringLiteral("Power Off Fail")});
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_EQ(OperatorFrames(), "01 01 02");
    m_messages.Clear();
    m_sim.ClearReceived();
    PressPower();
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_TRUE(dlg.Core().IsPowerOn());
    EXPECT_EQ(IsOpen(), 1);
    EXPECT_EQ(OperatorFrames(), "01 01 03 | 01 01 1B | 01 01 1F");
    m_sim.ClearFaults();

    // A refused power-on closes the port too; the next press reconnects.
    PressPower();
    ASSERT_FALSE(dlg.Core().IsPowerOn());
    ASSERT_EQ(IsOpen(), 1);
    m_sim.InjectFault(Fault(SimFaultKind::Refuse, 0x03));
    m_sim.ClearReceived();
    PressPower();
    EXPECT_EQ(m_messages.Texts(), std::vector<QString>{QStringLiteral("Power On Fail")});
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_FALSE(dlg.Core().IsPowerOn());
    m_messages.Clear();
    PressPower();
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_TRUE(dlg.Core().IsPowerOn());
    EXPECT_EQ(OperatorFrames(), "01 01 03 | 01 01 03 | 01 01 1B | 01 01 1F");
    EXPECT_FALSE(m_sim.State().standby);

    // Garbage: the step is refused, nothing moves.
    m_sim.InjectFault(Fault(SimFaultKind::Garbage, 0x0E));
    m_sim.ClearReceived();
    QTest::mouseClick(&Button(dlg, IDC_BTN_FREQ_UP), Qt::LeftButton);
    EXPECT_EQ(m_messages.Texts(), std::vector<QString>{QStringLiteral("Set Freq Fail")});
    EXPECT_EQ(dlg.Core().Accepted(CTransmitterCore::Quantity::Frequency), freq);
    EXPECT_EQ(Slider(dlg, IDC_SLIDER_FREQ).GetPos(), freq);
    m_messages.Clear();

    // Late and short ("K") answers inside the guard time are still answers.
    const int up = freq + 1 > 1080 ? 870 : freq + 1;
    SimFault late = Fault(SimFaultKind::Delay, 0x0E);
    late.delay = std::chrono::milliseconds(600);
    m_sim.InjectFault(late);
    QTest::mouseClick(&Button(dlg, IDC_BTN_FREQ_UP), Qt::LeftButton);
    ASSERT_TRUE(dlg.Core().IsActive(CTransmitterCore::Function::BackLight));
    m_sim.InjectFault(Fault(SimFaultKind::ShortAck, 0x0B));
    QTest::mouseClick(&Button(dlg, IDC_BTN_BACKLIGHT), Qt::LeftButton);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(dlg.Core().Accepted(CTransmitterCore::Quantity::Frequency), up);
    EXPECT_EQ(m_sim.State().frequency, up);
    EXPECT_FALSE(dlg.Core().IsActive(CTransmitterCore::Function::BackLight));
    EXPECT_FALSE(m_sim.State().backlightOn);
    const Frame step = {0x01, 0x03, 0x0E, static_cast<std::uint8_t>(up >> 8), static_cast<std::uint8_t>(up & 0xFF)};
    EXPECT_EQ(OperatorFrames(), FramesToString({step, step, Frame{0x01, 0x01, 0x0B}}));
}

}  // namespace
}  // namespace panel_test
