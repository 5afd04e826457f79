// The control handlers: sliders, wheel steps, step buttons, toggles and ON/OFF.
#include "fixture.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>

namespace panel_test {
namespace {

constexpr ColorRef kIdle = Rgb(50, 50, 50);
constexpr ColorRef kActive = Rgb(255, 75, 0);

using ControlsTest = MainWindowTest;

// One slider quantity as the operator sees it.
struct Quantity {
    const char* name;
    int code;  // command code of its setting
    int CTransmitterDlgTestSeam::*member;
    CImageButton CTransmitterDlgTestSeam::*up;
    CImageButton CTransmitterDlgTestSeam::*down;
    int minimum, maximum;
    const char* failText;
};

CSkinSlider& SliderOf(CTransmitterDlgTestSeam& dlg, const char* name)
{
    const std::string n = name;
    if (n == "freq")
        return dlg.m_sliderFreq;
    if (n == "power")
        return dlg.m_sliderPower;
    if (n == "line")
        return dlg.m_sliderLineVol;
    return dlg.m_sliderMicVol;
}

const Quantity kQuantities[] = {
    {"freq", 0x0E, &CTransmitterDlgTestSeam::m_freq, &CTransmitterDlgTestSeam::m_btnFreqUp,
     &CTransmitterDlgTestSeam::m_btnFreqDown, 870, 1080, "Set Freq Fail"},
    {"power", 0x11, &CTransmitterDlgTestSeam::m_power, &CTransmitterDlgTestSeam::m_btnPwrUp,
     &CTransmitterDlgTestSeam::m_btnPwrDown, 3, 150, "Set Pwr Fail"},
    {"line", 0x0F, &CTransmitterDlgTestSeam::m_lineVol, &CTransmitterDlgTestSeam::m_btnLineUp,
     &CTransmitterDlgTestSeam::m_btnLineDown, 1, 13, "Set Line Volume Fail"},
    {"mic", 0x10, &CTransmitterDlgTestSeam::m_micVol, &CTransmitterDlgTestSeam::m_btnMicUp,
     &CTransmitterDlgTestSeam::m_btnMicDown, 1, 30, "Set Mic Volume Fail"},
};

// The frame that sets quantity `q` to `value`.
Frame SetFrame(const Quantity& q, int value)
{
    if (q.code == 0x0E) {
        return F({0x01, 0x03, 0x0E, (value >> 8) & 0xFF, value & 0xFF});
    }
    return F({0x01, 0x02, q.code, value & 0xFF});
}

TEST_F(ControlsTest, SliderReleaseSendsThePositionAndDraggingSendsNothing)
{
    ChangeState([](SimState& s) { s.frequency = 900; });
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    ASSERT_EQ(dlg.m_freq, 900);

    CSkinSlider& slider = dlg.m_sliderFreq;
    const QPoint grab = slider.ThumbRect().center();
    const auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, at, slider.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          held, Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
    };
    mouse(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    mouse(QEvent::MouseMove, grab + QPoint(60, 0), Qt::LeftButton);
    const int dragged = slider.GetPos();
    ASSERT_GT(dragged, 900);
    EXPECT_EQ(FramesToString(Sent()), "(none)");
    EXPECT_EQ(dlg.m_freq, 900);

    mouse(QEvent::MouseButtonRelease, grab + QPoint(60, 0), Qt::NoButton);
    EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(kQuantities[0], dragged)}));
    EXPECT_EQ(dlg.m_freq, dragged);
    EXPECT_EQ(m_sim.State().frequency, dragged);

    // Committed again where the transmitter already is: nothing goes out.
    m_sim.ClearReceived();
    dlg.OnHScroll(&slider, dragged);
    EXPECT_EQ(FramesToString(Sent()), "(none)");
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ControlsTest, SliderKeysReachTheHandlerThroughTheSlidersOwnNotifications)
{
    ChangeState([](SimState& s) { s.lineVolume = 5; });
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    ASSERT_EQ(dlg.m_sliderLineVol.GetPos(), 5);

    // Home and End move the thumb only.
    QTest::keyClick(&dlg.m_sliderLineVol, Qt::Key_Home);
    QTest::keyClick(&dlg.m_sliderLineVol, Qt::Key_End);
    EXPECT_EQ(dlg.m_sliderLineVol.GetPos(), 13);
    EXPECT_EQ(FramesToString(Sent()), "(none)");
    EXPECT_EQ(dlg.m_lineVol, 5);

    // An arrow key is a line step: applied at once.
    QTest::keyClick(&dlg.m_sliderLineVol, Qt::Key_Left);
    EXPECT_EQ(FramesToString(Sent()), "01 02 0F 0C");
    EXPECT_EQ(dlg.m_lineVol, 12);
}

TEST_F(ControlsTest, RefusedSliderOrWheelMovePutsTheSliderBack)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    for (const Quantity& q : kQuantities) {
        SCOPED_TRACE(q.name);
        CSkinSlider& slider = SliderOf(dlg, q.name);
        const int accepted = dlg.*q.member;
        const int other = accepted == q.maximum ? q.maximum - 1 : q.maximum;

        m_messages.Clear();
        Refuse(q.code);
        slider.SetPos(other);
        dlg.OnHScroll(&slider, other);
        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg(q.failText)});
        EXPECT_EQ(slider.GetPos(), accepted);
        EXPECT_EQ(dlg.*q.member, accepted);

        m_messages.Clear();
        Refuse(q.code);
        slider.SetPos(other);
        dlg.OnSliderWheel(&slider, other);
        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg(q.failText)});
        EXPECT_EQ(slider.GetPos(), accepted);
        EXPECT_EQ(dlg.*q.member, accepted);
    }
}

TEST_F(ControlsTest, QueuedWheelStepIsSentEvenAtTheStoredValue)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    const int stored = dlg.m_lineVol;
    emit dlg.m_sliderLineVol.wheelStep(stored);
    EXPECT_TRUE(Sent().empty()) << "sent before the wheel event was handled";
    QCoreApplication::sendPostedEvents(&dlg);
    EXPECT_EQ(FramesToString(Sent()), FramesToString({F({0x01, 0x02, 0x0F, stored})}));
}

TEST_F(ControlsTest, FrequencyReleaseWhileItsFailureIsShownSendsNothing)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    const int accepted = dlg.m_freq;
    const int other = accepted == 1000 ? 1001 : 1000;
    std::size_t sentWhileShown = 99;
    m_messages.OnMessage([&](const RecordedMessage&) {
        m_sim.ClearReceived();
        dlg.m_sliderFreq.SetPos(other + 1);
        dlg.OnHScroll(&dlg.m_sliderFreq, other + 1);
        sentWhileShown = Sent().size();
    });
    Refuse(0x0E);
    dlg.m_sliderFreq.SetPos(other);
    dlg.OnHScroll(&dlg.m_sliderFreq, other);
    EXPECT_EQ(sentWhileShown, 0u);
    EXPECT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(dlg.m_sliderFreq.GetPos(), accepted);
}

TEST_F(ControlsTest, StepButtonsWrapAroundAtBothEndsAndARefusedStepChangesNothing)
{
    ChangeState([](SimState& s) {
        s.frequency = 1080;
        s.power = 150;
        s.lineVolume = 13;
        s.micVolume = 30;
    });
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    for (const Quantity& q : kQuantities) {
        SCOPED_TRACE(q.name);
        CSkinSlider& slider = SliderOf(dlg, q.name);
        ASSERT_EQ(dlg.*q.member, q.maximum);

        m_sim.ClearReceived();
        (dlg.*q.up).click();
        EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(q, q.minimum)}));
        EXPECT_EQ(dlg.*q.member, q.minimum);
        EXPECT_EQ(slider.GetPos(), q.minimum);

        m_sim.ClearReceived();
        (dlg.*q.down).click();
        EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(q, q.maximum)}));
        EXPECT_EQ(dlg.*q.member, q.maximum);
        EXPECT_EQ(slider.GetPos(), q.maximum);

        EXPECT_TRUE(m_messages.Messages().empty());

        // A refused step leaves slider and value where they were.
        Refuse(q.code);
        (dlg.*q.down).click();
        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg(q.failText)});
        EXPECT_EQ(dlg.*q.member, q.maximum);
        EXPECT_EQ(slider.GetPos(), q.maximum);
        m_messages.Clear();
    }
}

TEST_F(ControlsTest, StepButtonsWrapOnlyAtTheirOwnEnd)
{
    // Values outside the range, as a transmitter may report them: up from
    // below the range and down from above it step into it by one.
    struct Case {
        int stored;
        bool up;
        int sent;
    } const cases[] = {{0, true, 1}, {200, false, 199}, {2, true, 3}, {151, false, 150}};
    const Quantity& power = kQuantities[1];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ChangeState([&](SimState& s) { s.power = c.stored; });
        CTransmitterDlgTestSeam& dlg = OpenQuiet();
        ASSERT_EQ(dlg.m_power, c.stored);
        (dlg.*(c.up ? power.up : power.down)).click();
        EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(power, c.sent)}));
        m_dlg.reset();
    }
}

// One on/off function and how it appears on the line.
struct ToggleCase {
    const char* name;
    int CTransmitterDlgTestSeam::*flag;
    CImageButton CTransmitterDlgTestSeam::*button;
    int onCode, offCode;
    const char* onFail;
    const char* offFail;
};

const ToggleCase kToggles[] = {
    {"line", &CTransmitterDlgTestSeam::m_bLineOff, &CTransmitterDlgTestSeam::m_btnLine, 0x06, 0x04, "Line On Fail",
     "Line Off Fail"},
    {"mic", &CTransmitterDlgTestSeam::m_bMicOff, &CTransmitterDlgTestSeam::m_btnMic, 0x07, 0x05, "Mic On Fail",
     "Mic Off Fail"},
    {"echo", &CTransmitterDlgTestSeam::m_bEchoOff, &CTransmitterDlgTestSeam::m_btnEcho, 0x09, 0x08, "Echo On Fail",
     "Echo Off Fail"},
    {"stmono", &CTransmitterDlgTestSeam::m_bMono, &CTransmitterDlgTestSeam::m_btnStMono, 0x0C, 0x0D, "Set ST Fail",
     "Set Mono Fail"},
    {"backlight", &CTransmitterDlgTestSeam::m_bBackLightOff, &CTransmitterDlgTestSeam::m_btnBackLight, 0x0A, 0x0B,
     "Open Backlight Fail", "Close Backlight Fail"},
};

TEST_F(ControlsTest, TogglesSwitchBothWaysAndNameTheRefusedDirection)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    for (const ToggleCase& t : kToggles) {
        SCOPED_TRACE(t.name);
        int& flag = dlg.*t.flag;
        CImageButton& button = dlg.*t.button;
        for (int round = 0; round < 2; ++round) {
            const int before = flag;
            const bool switchingOn = before == 1;

            m_messages.Clear();
            m_sim.ClearReceived();
            Refuse(switchingOn ? t.onCode : t.offCode);
            button.click();
            EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg(switchingOn ? t.onFail : t.offFail)});
            EXPECT_EQ(flag, before);
            EXPECT_EQ(button.GetStateColor(IBC_BK_NORMAL), before ? kIdle : kActive);

            m_messages.Clear();
            m_sim.ClearReceived();
            button.click();
            EXPECT_EQ(FramesToString(Sent()), FramesToString({F({0x01, 0x01, switchingOn ? t.onCode : t.offCode})}));
            EXPECT_TRUE(m_messages.Messages().empty());
            EXPECT_EQ(flag, 1 - before);
            const ColorRef face = flag ? kIdle : kActive;
            EXPECT_EQ(button.GetStateColor(IBC_BK_NORMAL), face);
            EXPECT_EQ(button.GetStateColor(IBC_BK_FOCUS), face);
            EXPECT_EQ(button.GetStateColor(IBC_BK_ACTIVE), face);
        }
    }
}

TEST_F(ControlsTest, RefusedPowerOffClosesThePortAndTheNextPressReconnects)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    ASSERT_EQ(dlg.m_bPowerOff, 0);

    Refuse(0x02);
    dlg.m_btnPower.click();
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("Power Off Fail")});
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_EQ(dlg.m_bPowerOff, 1);
    EXPECT_EQ(dlg.m_btnPower.GetStateColor(IBC_BK_NORMAL), kIdle);

    // Meanwhile the operator changed the line input at the transmitter.
    ChangeState([](SimState& s) {
        s.lineOn = true;
        s.frequency = 1012;
    });
    m_messages.Clear();
    m_sim.ClearReceived();
    dlg.m_btnPower.click();
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(IsOpen(), 1);
    EXPECT_EQ(dlg.m_bPowerOff, 0);
    EXPECT_EQ(dlg.m_btnPower.GetStateColor(IBC_BK_NORMAL), kActive);
    ASSERT_FALSE(Sent().empty());
    EXPECT_EQ(FramesToString({Sent().front()}), "01 01 03");  // the probe powers on
    EXPECT_FALSE(m_sim.State().standby);
    EXPECT_EQ(dlg.m_freq, 1012);
    EXPECT_EQ(dlg.m_bLineOff, 0);
    EXPECT_EQ(dlg.m_btnLine.GetStateColor(IBC_BK_NORMAL), kActive);

    // And off again, normally.
    m_sim.ClearReceived();
    dlg.m_btnPower.click();
    EXPECT_EQ(FramesToString(Sent()), "01 01 02");
    EXPECT_EQ(dlg.m_bPowerOff, 1);
    EXPECT_TRUE(m_sim.State().standby);
    EXPECT_EQ(IsOpen(), 1);
}

TEST_F(ControlsTest, RefusedPowerOnClosesThePortAndAFailedReconnectSaysSoTwice)
{
    CTransmitterDlgTestSeam& dlg = OpenQuiet();
    dlg.m_btnPower.click();  // off
    ASSERT_EQ(dlg.m_bPowerOff, 1);

    Refuse(0x03);
    dlg.m_btnPower.click();
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("Power On Fail")});
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_EQ(dlg.m_bPowerOff, 1);

    // No transmitter to reconnect to: the connection's message, then ours.
    m_sim.Stop();
    m_messages.Clear();
    dlg.m_btnPower.click();
    EXPECT_EQ(m_messages.Messages(),
              (std::vector<RecordedMessage>{Msg("The Device is not connected."), Msg("Power On Fail")}));
    EXPECT_EQ(dlg.m_bPowerOff, 1);
    EXPECT_EQ(dlg.m_btnPower.GetStateColor(IBC_BK_NORMAL), kIdle);
}

}  // namespace
}  // namespace panel_test
