// Start-up of the main window: port discovery, the probe, the initial reads
// and the flags taken from the state byte.
#include "fixture.h"

#include <QDateTime>
#include <QLabel>

namespace panel_test {
namespace {

constexpr ColorRef kIdle = Rgb(50, 50, 50);
constexpr ColorRef kActive = Rgb(255, 75, 0);

ColorRef Face(const CImageButton& button) { return button.GetStateColor(IBC_BK_NORMAL); }

using StartupTest = MainWindowTest;

TEST_F(StartupTest, ReadsTheDeviceAndPaintsEachToggleFromItsStateBit)
{
    // Bit 5 set (LINE on), bit 6 set (MIC off), bit 4 clear (echo on), bit 2 set (mono).
    ChangeState([](SimState& s) {
        s.lineOn = true;
        s.micOff = true;
        s.echoOff = false;
        s.mono = true;
        s.backlightOn = false;
        s.frequency = 953;
        s.power = 42;
        s.lineVolume = 9;
        s.micVolume = 21;
        s.deviceType = "K2X";
    });
    CTransmitterDlgTestSeam& dlg = Open();

    EXPECT_EQ(dlg.m_bPowerOff, 0);  // the probe switched it on
    EXPECT_EQ(dlg.m_bLineOff, 0);
    EXPECT_EQ(dlg.m_bMicOff, 1);
    EXPECT_EQ(dlg.m_bEchoOff, 0);
    EXPECT_EQ(dlg.m_bMono, 1);
    EXPECT_EQ(dlg.m_bBackLightOff, 0);  // whatever the device says

    EXPECT_EQ(Face(dlg.m_btnPower), kActive);
    EXPECT_EQ(Face(dlg.m_btnLine), kActive);
    EXPECT_EQ(Face(dlg.m_btnMic), kIdle);
    EXPECT_EQ(Face(dlg.m_btnEcho), kActive);
    EXPECT_EQ(Face(dlg.m_btnStMono), kIdle);
    EXPECT_EQ(Face(dlg.m_btnBackLight), kActive);
    EXPECT_EQ(Face(dlg.m_btnLock), kIdle);  // no password stored
    EXPECT_EQ(Face(dlg.m_btnSet), kIdle);

    EXPECT_EQ(dlg.m_freq, 953);
    EXPECT_EQ(dlg.m_power, 42);
    EXPECT_EQ(dlg.m_lineVol, 9);
    EXPECT_EQ(dlg.m_micVol, 21);
    EXPECT_EQ(dlg.m_sliderFreq.GetPos(), 953);
    EXPECT_EQ(dlg.m_sliderPower.GetPos(), 42);
    EXPECT_EQ(dlg.m_sliderLineVol.GetPos(), 9);
    EXPECT_EQ(dlg.m_sliderMicVol.GetPos(), 21);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_DEVTYPE), QStringLiteral("Vemra-K2X"));
    // The device's bytes are shown as they are, never read as markup.
    EXPECT_EQ(qobject_cast<QLabel*>(dlg.Control(IDC_STATIC_DEVTYPE))->textFormat(), Qt::PlainText);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_STMONO), QStringLiteral("MONO"));
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(StartupTest, OppositeStateBitsGiveTheOppositeToggles)
{
    ChangeState([](SimState& s) {
        s.lineOn = false;
        s.micOff = false;
        s.echoOff = true;
        s.mono = false;
    });
    CTransmitterDlgTestSeam& dlg = Open();

    EXPECT_EQ(dlg.m_bLineOff, 1);
    EXPECT_EQ(dlg.m_bMicOff, 0);
    EXPECT_EQ(dlg.m_bEchoOff, 1);
    EXPECT_EQ(dlg.m_bMono, 0);
    EXPECT_EQ(Face(dlg.m_btnLine), kIdle);
    EXPECT_EQ(Face(dlg.m_btnMic), kActive);
    EXPECT_EQ(Face(dlg.m_btnEcho), kIdle);
    EXPECT_EQ(Face(dlg.m_btnStMono), kActive);
}

TEST_F(StartupTest, StandbyDeviceStartsIdleAndItsReadoutsStayFrozen)
{
    // The probe is refused, which still finds the transmitter, but it stays
    // in standby (state bit 0 set).
    Refuse(0x03, true);
    SimReadings readings;
    readings.forwardPower = 77;
    m_sim.SetReadings(readings);
    CTransmitterDlgTestSeam& dlg = Open();

    EXPECT_EQ(dlg.m_bPowerOff, 1);
    EXPECT_EQ(Face(dlg.m_btnPower), kIdle);
    EXPECT_EQ(IsOpen(), 1);

    // Over two status cycles only the state byte (and the level) is read.
    m_sim.ClearReceived();
    ASSERT_TRUE(PumpUntil(
        [&] {
            int states = 0;
            for (const Frame& f : Sent()) {
                states += f.size() > 2 && f[2] == 0x18;
            }
            return states >= 2;
        },
        std::chrono::milliseconds(4000)));
    EXPECT_EQ(FramesToString(FramesWithout(Sent(), {0x18, 0x22})), "(none)");
    PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(dlg.m_dispFwdPower.Text(), "0.0");
}

TEST_F(StartupTest, ProbeSkipsAPortThatDoesNotAnswerAndKeepsTheTransmitter)
{
    DeadPort dead;
    ASSERT_TRUE(dead.IsValid());
    std::unique_ptr<CTransmitterDlgTestSeam> dlg = MakeWindow({dead.Path(), SimPort()});
    dlg->EnumSerialPorts();
    ASSERT_EQ(dlg->m_portNames, (QStringList{dead.Path(), SimPort()}));
    m_sim.ClearReceived();

    EXPECT_EQ(dlg->ConnectDevice(), 1);

    const std::vector<std::uint8_t> probe{0x01, 0x01, 0x03};
    EXPECT_EQ(dead.TakeWritten(), probe);  // the first port was probed
    EXPECT_EQ(FramesToString(Sent()), "01 01 03");
    EXPECT_EQ(IsOpen(), 1);
    EXPECT_TRUE(m_messages.Messages().empty());
    // The port kept open is the simulator's: the next command reaches it.
    int temperature = 0;
    EXPECT_EQ(GetTemperature(&temperature, 100), 1);
}

TEST_F(StartupTest, RefusedProbeStillFindsTheTransmitter)
{
    Refuse(0x03);
    std::unique_ptr<CTransmitterDlgTestSeam> dlg = MakeWindow();
    dlg->EnumSerialPorts();
    EXPECT_EQ(dlg->ConnectDevice(), 1);
    EXPECT_EQ(IsOpen(), 1);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(StartupTest, NoAnsweringPortEndsInitialisationWithTheMessage)
{
    std::unique_ptr<CTransmitterDlgTestSeam> dlg = MakeWindow({QStringLiteral("/nonexistent/ttyTalvex0")});
    m_sim.ClearReceived();

    EXPECT_EQ(dlg->DoModal(), 0);

    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("The Device is not connected.")});
    EXPECT_EQ(m_messages.Messages().front().owner, dlg.get());
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_FALSE(dlg->m_statusPoller.m_hThread.joinable());
    EXPECT_FALSE(dlg->m_rtVolPoller.m_hThread.joinable());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(StartupTest, UnreadableScheduleLeavesFiveEmptyRowsAtTheStartTime)
{
    TempWorkingDir noConfig{QString()};
    const std::int64_t before = QDateTime::currentSecsSinceEpoch();
    CTransmitterDlgTestSeam& dlg = Open();
    const std::int64_t after = QDateTime::currentSecsSinceEpoch();

    EXPECT_EQ(dlg.m_schedule.m_hWnd, &dlg);
    for (const ScheduledTask& task : dlg.m_schedule.m_tasks) {
        EXPECT_EQ(task.operation, TASK_NOTHING);
        EXPECT_GE(task.time, before);
        EXPECT_LE(task.time, after);
    }
    dlg.OnClose();  // before the working directory goes
}

}  // namespace
}  // namespace panel_test
