// The operator's controls: sliders, wheel steps, step buttons, toggles and
// ON/OFF, driven with real input; what goes on the line, what is shown, and
// where each control ends up.
#include "fixture.h"

namespace panel_test {
namespace {

using ControlsTest = MainWindowTest;
using Quantity = CTransmitterCore::Quantity;

// One slider quantity as the operator sees it.
struct QuantityCase {
    const char* name;
    Quantity quantity;
    int code;  // command code of its setting
    int slider, up, down;
    int minimum, maximum;
    const char* failText;
};

const QuantityCase kQuantities[] = {
    {"freq", Quantity::Frequency, 0x0E, IDC_SLIDER_FREQ, IDC_BTN_FREQ_UP, IDC_BTN_FREQ_DOWN, 870, 1080,
     "Set Freq Fail"},
    {"power", Quantity::Power, 0x11, IDC_SLIDER_POWER, IDC_BTN_PWR_UP, IDC_BTN_PWR_DOWN, 3, 150, "Set Pwr Fail"},
    {"line", Quantity::LineVolume, 0x0F, IDC_SLIDER_LINEVOL, IDC_BTN_LINEVOL_UP, IDC_BTN_LINEVOL_DOWN, 1, 13,
     "Set Line Volume Fail"},
    {"mic", Quantity::MicVolume, 0x10, IDC_SLIDER_MICVOL, IDC_BTN_MICVOL_UP, IDC_BTN_MICVOL_DOWN, 1, 30,
     "Set Mic Volume Fail"},
};

// The frame that sets quantity `q` to `value`.
Frame SetFrame(const QuantityCase& q, int value)
{
    if (q.code == 0x0E) {
        return F({0x01, 0x03, 0x0E, (value >> 8) & 0xFF, value & 0xFF});
    }
    return F({0x01, 0x02, q.code, value & 0xFF});
}

TEST_F(ControlsTest, SliderReleaseSendsThePositionAndDraggingSendsNothing)
{
    ChangeState([](SimState& s) { s.frequency = 900; });
    CTransmitterDlg& dlg = OpenQuiet();
    CSkinSlider& slider = Slider(dlg, IDC_SLIDER_FREQ);
    ASSERT_EQ(dlg.Core().Accepted(Quantity::Frequency), 900);

    // A drag sends nothing until the thumb is let go.
    const QPoint thumb = slider.ThumbRect().center();
    QTest::mousePress(&slider, Qt::LeftButton, {}, thumb);
    QTest::mouseMove(&slider, thumb + QPoint(40, 0));
    EXPECT_NE(slider.GetPos(), 900);
    EXPECT_EQ(FramesToString(Sent()), "(none)");
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb + QPoint(40, 0));
    const int dropped = slider.GetPos();
    EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(kQuantities[0], dropped)}));
    EXPECT_EQ(dlg.Core().Accepted(Quantity::Frequency), dropped);
    EXPECT_EQ(m_sim.State().frequency, dropped);

    // Released again where the transmitter already is: nothing goes out.
    m_sim.ClearReceived();
    ReleaseAt(slider, dropped);
    EXPECT_EQ(FramesToString(Sent()), "(none)");
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ControlsTest, SliderKeysReachTheTransmitterOnlyForLineAndPageSteps)
{
    ChangeState([](SimState& s) { s.lineVolume = 5; });
    CTransmitterDlg& dlg = OpenQuiet();
    CSkinSlider& slider = Slider(dlg, IDC_SLIDER_LINEVOL);
    ASSERT_EQ(slider.GetPos(), 5);

    // Home and End move the thumb only.
    QTest::keyClick(&slider, Qt::Key_Home);
    QTest::keyClick(&slider, Qt::Key_End);
    EXPECT_EQ(slider.GetPos(), 13);
    EXPECT_EQ(FramesToString(Sent()), "(none)");
    EXPECT_EQ(dlg.Core().Accepted(Quantity::LineVolume), 5);

    // An arrow key is a line step: applied at once.
    QTest::keyClick(&slider, Qt::Key_Left);
    EXPECT_EQ(FramesToString(Sent()), "01 02 0F 0C");
    EXPECT_EQ(dlg.Core().Accepted(Quantity::LineVolume), 12);
}

TEST_F(ControlsTest, RefusedSliderOrWheelMovePutsTheSliderBack)
{
    CTransmitterDlg& dlg = OpenQuiet();
    for (const QuantityCase& q : kQuantities) {
        SCOPED_TRACE(q.name);
        CSkinSlider& slider = Slider(dlg, q.slider);
        const int accepted = dlg.Core().Accepted(q.quantity);
        const int other = accepted == q.maximum ? q.maximum - 1 : q.maximum;

        m_messages.Clear();
        Refuse(q.code);
        ReleaseAt(slider, other);
        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg(q.failText)});
        EXPECT_EQ(slider.GetPos(), accepted);
        EXPECT_EQ(dlg.Core().Accepted(q.quantity), accepted);

        m_messages.Clear();
        Refuse(q.code);
        slider.SetPos(other);
        emit slider.wheelStep(other);
        QCoreApplication::sendPostedEvents(&dlg);
        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg(q.failText)});
        EXPECT_EQ(slider.GetPos(), accepted);
        EXPECT_EQ(dlg.Core().Accepted(q.quantity), accepted);
    }
}

TEST_F(ControlsTest, QueuedWheelStepIsSentEvenAtTheStoredValue)
{
    CTransmitterDlg& dlg = OpenQuiet();
    const int stored = dlg.Core().Accepted(Quantity::LineVolume);
    emit Slider(dlg, IDC_SLIDER_LINEVOL).wheelStep(stored);
    EXPECT_TRUE(Sent().empty()) << "sent before the wheel event was handled";
    QCoreApplication::sendPostedEvents(&dlg);
    EXPECT_EQ(FramesToString(Sent()), FramesToString({F({0x01, 0x02, 0x0F, stored})}));
}

TEST_F(ControlsTest, FrequencyReleaseWhileItsFailureIsShownSendsNothing)
{
    CTransmitterDlg& dlg = OpenQuiet();
    CSkinSlider& slider = Slider(dlg, IDC_SLIDER_FREQ);
    const int accepted = dlg.Core().Accepted(Quantity::Frequency);
    const int other = accepted == 1000 ? 1001 : 1000;
    std::size_t sentWhileShown = 99;
    m_messages.OnMessage([&](const RecordedMessage&) {
        m_sim.ClearReceived();
        ReleaseAt(slider, other + 1);
        sentWhileShown = Sent().size();
    });
    Refuse(0x0E);
    ReleaseAt(slider, other);
    EXPECT_EQ(sentWhileShown, 0u);
    EXPECT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(slider.GetPos(), accepted);
}

TEST_F(ControlsTest, StepButtonsWrapAroundAtBothEndsAndARefusedStepChangesNothing)
{
    ChangeState([](SimState& s) {
        s.frequency = 1080;
        s.power = 150;
        s.lineVolume = 13;
        s.micVolume = 30;
    });
    CTransmitterDlg& dlg = OpenQuiet();
    for (const QuantityCase& q : kQuantities) {
        SCOPED_TRACE(q.name);
        CSkinSlider& slider = Slider(dlg, q.slider);
        ASSERT_EQ(dlg.Core().Accepted(q.quantity), q.maximum);

        m_sim.ClearReceived();
        QTest::mouseClick(&Button(dlg, q.up), Qt::LeftButton);
        EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(q, q.minimum)}));
        EXPECT_EQ(slider.GetPos(), q.minimum);

        m_sim.ClearReceived();
        QTest::mouseClick(&Button(dlg, q.down), Qt::LeftButton);
        EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(q, q.maximum)}));
        EXPECT_EQ(slider.GetPos(), q.maximum);
        EXPECT_TRUE(m_messages.Messages().empty());

        // A refused step leaves slider and value where they were.
        Refuse(q.code);
        QTest::mouseClick(&Button(dlg, q.down), Qt::LeftButton);
        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg(q.failText)});
        EXPECT_EQ(dlg.Core().Accepted(q.quantity), q.maximum);
        EXPECT_EQ(slider.GetPos(), q.maximum);
        m_messages.Clear();
    }
}

TEST_F(ControlsTest, TogglesPaintWhatTheTransmitterAcceptedAndShowARefusal)
{
    // Which text names which refusal is the core's; the window shows it.
    CTransmitterDlg& dlg = OpenQuiet();
    CImageButton& line = Button(dlg, IDC_BTN_LINE);
    const ColorRef lineFace = Face(line);
    Refuse(kSimAllCommands);
    QTest::mouseClick(&line, Qt::LeftButton);
    EXPECT_EQ(m_messages.Messages(),
              std::vector<RecordedMessage>{Msg(lineFace == kActive ? "Line Off Fail" : "Line On Fail")});
    EXPECT_EQ(Face(line), lineFace);

    for (int id : {IDC_BTN_LINE, IDC_BTN_MIC, IDC_BTN_ECHO, IDC_BTN_STMONO, IDC_BTN_BACKLIGHT}) {
        CImageButton& button = Button(dlg, id);
        for (int round = 0; round < 2; ++round) {
            const ColorRef face = Face(button) == kActive ? kIdle : kActive;
            QTest::mouseClick(&button, Qt::LeftButton);
            for (int slot : {IBC_BK_NORMAL, IBC_BK_FOCUS, IBC_BK_ACTIVE}) {
                EXPECT_EQ(button.GetStateColor(slot), face) << "button " << id << " slot " << slot;
            }
        }
    }
    EXPECT_EQ(m_messages.Messages().size(), 1u);
}

TEST_F(ControlsTest, RefusedPowerOffClosesThePortAndTheNextPressReconnectsAndRepaints)
{
    CTransmitterDlg& dlg = OpenQuiet();
    CImageButton& power = Button(dlg, IDC_BTN_POWER);
    ASSERT_EQ(Face(power), kActive);

    Refuse(0x02);
    QTest::mouseClick(&power, Qt::LeftButton);
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("Power Off Fail")});
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_EQ(Face(power), kIdle);

    // Meanwhile the operator changed the line input at the transmitter.
    ChangeState([](SimState& s) {
        s.lineOn = true;
        s.frequency = 1012;
    });
    m_messages.Clear();
    QTest::mouseClick(&power, Qt::LeftButton);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(Face(power), kActive);
    EXPECT_EQ(Face(Button(dlg, IDC_BTN_LINE)), kActive);
}

TEST_F(ControlsTest, AFailedReconnectSaysSoTwice)
{
    CTransmitterDlg& dlg = OpenQuiet();
    CImageButton& power = Button(dlg, IDC_BTN_POWER);
    QTest::mouseClick(&power, Qt::LeftButton);  // off
    Refuse(0x03);
    QTest::mouseClick(&power, Qt::LeftButton);
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("Power On Fail")});

    // No transmitter to reconnect to: the connection's message, then ours.
    m_sim.Stop();
    m_messages.Clear();
    QTest::mouseClick(&power, Qt::LeftButton);
    EXPECT_EQ(m_messages.Messages(),
              (std::vector<RecordedMessage>{Msg("The Device is not connected."), Msg("Power On Fail")}));
    EXPECT_EQ(m_messages.Messages().front().owner, &dlg);
    EXPECT_EQ(Face(power), kIdle);
}

}  // namespace
}  // namespace panel_test
