// Start-up of the main window: what it shows of the transmitter it found,
// and a start-up that finds none.
#include "fixture.h"

#include <QDateTime>
#include <QLabel>

namespace panel_test {
namespace {

using StartupTest = MainWindowTest;

TEST_F(StartupTest, PaintsEachToggleAndSetsEachSliderFromTheDevice)
{
    // Which flag each state bit gives is the core's; the window shows both faces.
    ChangeState([&](SimState& s) {
        s.lineOn = true;
        s.micOff = true;
        s.echoOff = false;
        s.mono = true;
        s.deviceType = "K2X";
    });
    CTransmitterDlg& dlg = Open();
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_POWER)), kActive);
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_LINE)), kActive);
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_MIC)), kIdle);
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_ECHO)), kActive);
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_STMONO)), kIdle);
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_BACKLIGHT)), kActive);
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_LOCK)), kIdle);  // no password stored
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_SET)), kIdle);

    const SimState device = m_sim.State();
    EXPECT_EQ(Slider(dlg, IDC_SLIDER_FREQ).GetPos(), device.frequency);
    EXPECT_EQ(Slider(dlg, IDC_SLIDER_POWER).GetPos(), device.power);
    EXPECT_EQ(Slider(dlg, IDC_SLIDER_LINEVOL).GetPos(), device.lineVolume);
    EXPECT_EQ(Slider(dlg, IDC_SLIDER_MICVOL).GetPos(), device.micVolume);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_DEVTYPE), QStringLiteral("Vemra-K2X"));
    // The device's bytes are shown as they are, never read as markup.
    EXPECT_EQ(qobject_cast<QLabel*>(dlg.Control(IDC_STATIC_DEVTYPE))->textFormat(), Qt::PlainText);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_STATIC_STMONO), QStringLiteral("MONO"));
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(StartupTest, StandbyDeviceStartsIdleAndItsReadoutsStayFrozen)
{
    // The probe is refused, which still finds the transmitter, but it stays
    // in standby (state bit 0 set).
    Refuse(0x03, true);
    SimReadings readings;
    readings.forwardPower = 77;
    m_sim.SetReadings(readings);
    CTransmitterDlg& dlg = Open();

    EXPECT_EQ(Face(Button(dlg, IDC_BTN_POWER)), kIdle);
    EXPECT_EQ(IsOpen(), 1);
    m_sim.ClearReceived();
    ASSERT_TRUE(PumpUntil([&] { return CountCode(Sent(), 0x18) >= 2; }, std::chrono::milliseconds(4000)));
    PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(Display(dlg, IDC_DISP_FWDPOWER).Text(), "0.0");
}

TEST_F(StartupTest, NoAnsweringPortEndsInitialisationWithTheMessage)
{
    std::unique_ptr<CTransmitterDlg> dlg = MakeWindow({QStringLiteral("/nonexistent/ttyTalvex0")});
    m_sim.ClearReceived();

    EXPECT_EQ(dlg->DoModal(), 0);

    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("The Device is not connected.")});
    EXPECT_EQ(m_messages.Messages().front().owner, dlg.get());
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_FALSE(dlg->Core().IsPolling());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(StartupTest, UnreadableScheduleLeavesFiveEmptyRowsAtTheStartTime)
{
    TempWorkingDir noConfig{QString()};
    const std::int64_t before = QDateTime::currentSecsSinceEpoch();
    CTransmitterDlg& dlg = Open();
    const std::int64_t after = QDateTime::currentSecsSinceEpoch();

    for (const ScheduledTask& task : dlg.Schedule().Snapshot()) {
        EXPECT_EQ(task.operation, TASK_NOTHING);
        EXPECT_GE(task.time, before);
        EXPECT_LE(task.time, after);
    }
    m_dlg.reset();  // before the working directory goes
}

}  // namespace
}  // namespace panel_test
