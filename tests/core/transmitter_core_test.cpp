// The transmitter core against the simulated transmitter, with no widget:
// connecting, the start-up reads, the operator's commands, the scheduled
// rows and the watchdog.
#include "core/TransmitterCore.h"
#include "support/SimLineTest.h"

#include <QSignalSpy>

namespace sim_test {
namespace {

using Quantity = CTransmitterCore::Quantity;
using Function = CTransmitterCore::Function;

class CoreTest : public SimTest
{
protected:
    // A core on `ports` (the simulator when none are given), connected
    // unless `connect` is false, with the start-up's frames forgotten.
    CTransmitterCore& Make(QStringList ports = {}, bool connect = true)
    {
        m_core = std::make_unique<CTransmitterCore>(ports.isEmpty() ? QStringList{SimPort()} : ports);
        m_core->EnumSerialPorts();
        if (connect) {
            EXPECT_TRUE(m_core->ConnectDevice());
            m_core->ReadDeviceSettings(true);
        }
        m_sim.ClearReceived();
        return *m_core;
    }
    void TearDown() override
    {
        m_core.reset();
        SimTest::TearDown();
    }

    std::unique_ptr<CTransmitterCore> m_core;
};

TEST_F(CoreTest, StartUpTakesEachFlagFromItsStateBitAndTheValuesAsRead)
{
    struct Case {
        bool lineOn, micOff, echoOff, mono;
    } const cases[] = {{true, true, false, true}, {false, false, true, false}};
    for (const Case& c : cases) {
        ChangeState([&](SimState& s) {
            s.lineOn = c.lineOn;
            s.micOff = c.micOff;
            s.echoOff = c.echoOff;
            s.mono = c.mono;
            s.backlightOn = false;
            s.frequency = 953;
            s.power = 42;
            s.lineVolume = 9;
            s.micVolume = 21;
            s.deviceType = "K2X";
        });
        CTransmitterCore& core = Make();
        EXPECT_TRUE(core.IsPowerOn());  // the probe switched it on
        EXPECT_EQ(core.IsActive(Function::Line), c.lineOn);
        EXPECT_EQ(core.IsActive(Function::Mic), !c.micOff);
        EXPECT_EQ(core.IsActive(Function::Echo), !c.echoOff);
        EXPECT_EQ(core.IsActive(Function::StereoMono), !c.mono);
        EXPECT_TRUE(core.IsActive(Function::BackLight));  // whatever the device says
        EXPECT_EQ(core.Accepted(Quantity::Frequency), 953);
        EXPECT_EQ(core.Accepted(Quantity::Power), 42);
        EXPECT_EQ(core.Accepted(Quantity::LineVolume), 9);
        EXPECT_EQ(core.Accepted(Quantity::MicVolume), 21);
        EXPECT_EQ(core.DeviceType(), QStringLiteral("K2X"));
    }
}

TEST_F(CoreTest, TheProbeSkipsASilentPortTakesARefusalAndReportsNamedPortsThatWillNotOpen)
{
    DeadPort dead;
    ASSERT_TRUE(dead.IsValid());
    CTransmitterCore& core = Make({QStringLiteral("/nonexistent/ttyTalvex0"), dead.Path(), SimPort()}, false);
    ASSERT_EQ(core.PortNames(), (QStringList{QStringLiteral("/nonexistent/ttyTalvex0"), dead.Path(), SimPort()}));
    QSignalSpy failures(&core, &CTransmitterCore::portOpenFailed);

    EXPECT_TRUE(core.ConnectDevice());
    EXPECT_EQ(dead.TakeWritten(), (std::vector<std::uint8_t>{0x01, 0x01, 0x03}));
    EXPECT_EQ(FramesToString(Sent()), "01 01 03");
    ASSERT_EQ(failures.count(), 1);
    EXPECT_EQ(failures[0][0].toString(), QStringLiteral("/nonexistent/ttyTalvex0"));
    EXPECT_EQ(failures[0][1].toInt(), TALVEX_OPEN_NO_DEVICE);
    int temperature = 0;
    EXPECT_EQ(GetTemperature(&temperature, 100), 1) << "the port kept open is the simulator's";

    CloseComm();
    Refuse(0x03);
    EXPECT_TRUE(core.ConnectDevice()) << "a refusal is an answer";
    m_sim.Stop();
    CloseComm();
    EXPECT_FALSE(core.ConnectDevice());
    EXPECT_EQ(IsOpen(), 0);
}

// How each quantity goes out on the line (the window's test has the texts).
struct QuantityCase {
    Quantity quantity;
    int code;
};
const QuantityCase kQuantities[] = {
    {Quantity::Frequency, 0x0E},
    {Quantity::Power, 0x11},
    {Quantity::LineVolume, 0x0F},
    {Quantity::MicVolume, 0x10},
};

Frame SetFrame(const QuantityCase& q, int value)
{
    if (q.code == 0x0E) {
        return F({0x01, 0x03, 0x0E, (value >> 8) & 0xFF, value & 0xFF});
    }
    return F({0x01, 0x02, q.code, value & 0xFF});
}

TEST_F(CoreTest, QuantitiesAreAcceptedOnlyWhenTheTransmitterTakesThem)
{
    CTransmitterCore& core = Make();
    QSignalSpy changes(&core, &CTransmitterCore::stateChanged);
    for (const QuantityCase& q : kQuantities) {
        SCOPED_TRACE(q.code);
        const CTransmitterCore::Range range = CTransmitterCore::RangeOf(q.quantity);
        m_sim.ClearReceived();
        EXPECT_TRUE(core.SetQuantity(q.quantity, range.maximum).ok);
        EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(q, range.maximum)}));
        EXPECT_EQ(core.Accepted(q.quantity), range.maximum);

        Refuse(q.code);
        EXPECT_FALSE(core.SetQuantity(q.quantity, range.minimum).ok);
        EXPECT_EQ(core.Accepted(q.quantity), range.maximum);
    }
    EXPECT_EQ(changes.count(), 4);
}

TEST_F(CoreTest, StepsWrapOnlyAtTheEndTheyMoveTowards)
{
    // Values outside the range, as a transmitter may report them, step into
    // it by one (the window's test has the wrap at each end).
    struct Case {
        int stored;
        int delta;
        int sent;
    } const cases[] = {{0, +1, 1}, {200, -1, 199}, {2, +1, 3}, {151, -1, 150}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ChangeState([&](SimState& s) { s.power = c.stored; });
        CTransmitterCore& core = Make();
        ASSERT_EQ(core.Accepted(Quantity::Power), c.stored);
        core.StepQuantity(Quantity::Power, c.delta);
        EXPECT_EQ(FramesToString(Sent()), FramesToString({SetFrame(kQuantities[1], c.sent)}));
    }
}

TEST_F(CoreTest, TogglesSwitchBothWaysAndNameTheRefusedDirection)
{
    struct ToggleCase {
        Function function;
        int onCode, offCode;
        const char* onFail;
        const char* offFail;
    } const toggles[] = {
        {Function::Line, 0x06, 0x04, "Line On Fail", "Line Off Fail"},
        {Function::Mic, 0x07, 0x05, "Mic On Fail", "Mic Off Fail"},
        {Function::Echo, 0x09, 0x08, "Echo On Fail", "Echo Off Fail"},
        {Function::StereoMono, 0x0C, 0x0D, "Set ST Fail", "Set Mono Fail"},
        {Function::BackLight, 0x0A, 0x0B, "Open Backlight Fail", "Close Backlight Fail"},
    };
    CTransmitterCore& core = Make();
    for (const ToggleCase& t : toggles) {
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(t.onFail);
            const bool switchingOn = !core.IsActive(t.function);
            Refuse(switchingOn ? t.onCode : t.offCode);
            const CTransmitterCore::Result refused = core.Toggle(t.function);
            EXPECT_FALSE(refused.ok);
            EXPECT_STREQ(refused.failText, switchingOn ? t.onFail : t.offFail);
            EXPECT_EQ(core.IsActive(t.function), !switchingOn);

            m_sim.ClearReceived();
            EXPECT_TRUE(core.Toggle(t.function).ok);
            EXPECT_EQ(FramesToString(Sent()), FramesToString({F({0x01, 0x01, switchingOn ? t.onCode : t.offCode})}));
            EXPECT_EQ(core.IsActive(t.function), switchingOn);
        }
    }
}

TEST_F(CoreTest, ARefusedPowerPressClosesThePortAndTheNextReconnectsThroughThePortList)
{
    CTransmitterCore& core = Make();
    Refuse(0x02);
    CTransmitterCore::PowerResult result = core.PressPower();
    EXPECT_FALSE(result.ok);
    EXPECT_STREQ(result.failText, "Power Off Fail");
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_FALSE(core.IsPowerOn());

    // Meanwhile the operator changed the line input at the transmitter.
    ChangeState([](SimState& s) {
        s.lineOn = false;
        s.frequency = 1012;
    });
    m_sim.ClearReceived();
    result = core.PressPower();
    EXPECT_TRUE(result.ok);
    EXPECT_FALSE(result.notConnected);
    EXPECT_TRUE(core.IsPowerOn());
    ASSERT_FALSE(Sent().empty());
    EXPECT_EQ(FramesToString({Sent().front()}), "01 01 03");  // the probe powers on
    EXPECT_EQ(core.Accepted(Quantity::Frequency), 1012);
    EXPECT_TRUE(core.IsActive(Function::Line)) << "a reconnection only clears flags";

    m_sim.ClearReceived();
    EXPECT_TRUE(core.PressPower().ok);
    EXPECT_EQ(FramesToString(Sent()), "01 01 02");
    EXPECT_TRUE(m_sim.State().standby);
    EXPECT_EQ(IsOpen(), 1);

    Refuse(0x03);
    result = core.PressPower();
    EXPECT_STREQ(result.failText, "Power On Fail");
    EXPECT_FALSE(result.notConnected);
    EXPECT_EQ(IsOpen(), 0);

    m_sim.Stop();
    result = core.PressPower();
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.notConnected);
    EXPECT_STREQ(result.failText, "Power On Fail");
    EXPECT_FALSE(core.IsPowerOn());
}

TEST_F(CoreTest, ScheduledRowsDriveThePowerSilentlyAndNotOnceStopped)
{
    CTransmitterCore& core = Make();
    core.ScheduledShutDown();
    EXPECT_EQ(FramesToString(Sent()), "01 01 02");
    EXPECT_FALSE(core.IsPowerOn());

    // Start-up walks the port list from its first name, as connecting does.
    m_sim.ClearReceived();
    core.ScheduledStartUp();
    EXPECT_EQ(FramesToString(Sent()), "01 01 03");
    EXPECT_TRUE(core.IsPowerOn());

    Refuse(0x02);
    core.ScheduledShutDown();
    EXPECT_TRUE(core.IsPowerOn()) << "a refused shut-down changes nothing";

    core.Stop();
    m_sim.ClearReceived();
    core.ScheduledShutDown();
    core.ScheduledStartUp();
    EXPECT_TRUE(Sent().empty());

    CTransmitterCore& nowhere = Make({QStringLiteral("/nonexistent/ttyS99")}, false);
    nowhere.ScheduledShutDown();
    nowhere.ScheduledStartUp();
    EXPECT_FALSE(nowhere.IsPowerOn());
    EXPECT_EQ(IsOpen(), 0) << "a walk that finds nothing leaves no port open";
}

TEST_F(CoreTest, WatchdogWarnsOnTheThirdFailedCheckAndNeverStacks)
{
    CTransmitterCore& core = Make();
    int warnings = 0;
    std::size_t framesWhileWarning = 99;
    QObject::connect(&core, &CTransmitterCore::watchdogWarning, [&] {
        ++warnings;
        m_sim.ClearReceived();
        core.OnTimer();  // as a timer in the warning's own loop would
        framesWhileWarning = Sent().size();
    });

    Refuse(0x17);
    core.OnTimer();
    core.OnTimer();  // a success does not reset the count
    Refuse(0x17);
    core.OnTimer();
    EXPECT_EQ(warnings, 0);
    EXPECT_EQ(FramesToString(Sent()), "01 01 17 | 01 01 17 | 01 01 17");
    Refuse(0x17);
    core.OnTimer();
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(framesWhileWarning, 0u);

    // The count starts again after the warning.
    CloseComm();  // with no port every check fails
    core.OnTimer();
    core.OnTimer();
    EXPECT_EQ(warnings, 1);
    core.OnTimer();
    EXPECT_EQ(warnings, 2);
}

}  // namespace
}  // namespace sim_test
