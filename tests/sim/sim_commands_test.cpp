// The simulated transmitter's command set, seen from the line.

#include "SimWireFixture.h"

#include <cstdint>

using simtest::Bytes;
using simtest::kRefused;
using simtest::Ok;

namespace {

struct SettingCase {
    const char* name;
    std::uint8_t code;
    int low;
    int high;
    int SimState::*member;
};

Bytes SettingFrame(std::uint8_t code, int value)
{
    if (code == 0x0E)
        return {0x01, 0x03, code, static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
    return {0x01, 0x02, code, static_cast<std::uint8_t>(value)};
}

class SimSettingRange : public SimWire, public ::testing::WithParamInterface<SettingCase>
{};

}  // namespace

TEST_P(SimSettingRange, AcceptsBothEndsAndRefusesJustOutside)
{
    const SettingCase& c = GetParam();
    EXPECT_EQ(Exchange(SettingFrame(c.code, c.low), 2), Ok());
    EXPECT_EQ(m_sim.State().*c.member, c.low);
    EXPECT_EQ(Exchange(SettingFrame(c.code, c.high), 2), Ok());
    EXPECT_EQ(m_sim.State().*c.member, c.high);

    // A refusal leaves the last accepted value in place.
    EXPECT_EQ(Exchange(SettingFrame(c.code, c.low - 1), 2), kRefused);
    EXPECT_EQ(Exchange(SettingFrame(c.code, c.high + 1), 2), kRefused);
    EXPECT_EQ(m_sim.State().*c.member, c.high);
}

INSTANTIATE_TEST_SUITE_P(AllSettings, SimSettingRange,
                         ::testing::Values(SettingCase{"Frequency", 0x0E, 870, 1080, &SimState::frequency},
                                           SettingCase{"LineVolume", 0x0F, 1, 13, &SimState::lineVolume},
                                           SettingCase{"MicVolume", 0x10, 1, 30, &SimState::micVolume},
                                           SettingCase{"Power", 0x11, 3, 150, &SimState::power},
                                           SettingCase{"SwrPoint", 0x12, 20, 40, &SimState::swrPoint},
                                           SettingCase{"TemperaturePoint", 0x13, 50, 70, &SimState::temperaturePoint}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimWire, SwitchesSetTheirStateBits)
{
    struct Step {
        std::uint8_t code;
        std::uint8_t expectedState;
    };
    // Starting from everything cleared, each switch moves exactly its bit.
    SimState s = m_sim.State();
    s.standby = false;
    s.mono = false;
    s.echoOff = false;
    s.lineOn = false;
    s.micOff = false;
    m_sim.SetState(s);
    const Step steps[] = {
        {0x02, 0x01}, {0x03, 0x00},  // standby, on
        {0x0D, 0x04}, {0x0C, 0x00},  // mono, stereo
        {0x08, 0x10}, {0x09, 0x00},  // echo off, on
        {0x06, 0x20}, {0x04, 0x00},  // LINE on, off
        {0x05, 0x40}, {0x07, 0x00},  // MIC off, on
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.code);
        EXPECT_EQ(Exchange({0x01, 0x01, step.code}, 2), Ok());
        EXPECT_EQ(Exchange({0x01, 0x01, 0x18}, 3), Ok({step.expectedState}));
    }
}

TEST_F(SimWire, BacklightIsKeptButNotReportedInTheStateByte)
{
    EXPECT_EQ(Exchange({0x01, 0x01, 0x0B}, 2), Ok());
    EXPECT_FALSE(m_sim.State().backlightOn);
    const Bytes before = Exchange({0x01, 0x01, 0x18}, 3);
    EXPECT_EQ(Exchange({0x01, 0x01, 0x0A}, 2), Ok());
    EXPECT_TRUE(m_sim.State().backlightOn);
    EXPECT_EQ(Exchange({0x01, 0x01, 0x18}, 3), before);
}

TEST_F(SimWire, ShortTextsArePaddedToTheirFixedLength)
{
    SimState s = m_sim.State();
    s.version = "7";
    s.deviceType = "";
    m_sim.SetState(s);
    EXPECT_EQ(Exchange({0x01, 0x01, 0x1A}, 4), Ok({'7', ' '}));
    EXPECT_EQ(Exchange({0x01, 0x01, 0x1B}, 5), Ok({' ', ' ', ' '}));
}

TEST_F(SimWire, RefusesUnknownCodesAndWrongParameterCounts)
{
    EXPECT_EQ(Exchange({0x01, 0x01, 0x01}, 2), kRefused);
    EXPECT_EQ(Exchange({0x01, 0x01, 0x23}, 2), kRefused);
    EXPECT_EQ(Exchange({0x01, 0x01, 0x0E}, 2), kRefused);              // tune without a value
    EXPECT_EQ(Exchange({0x01, 0x02, 0x0E, 0x03}, 2), kRefused);        // tune with one byte
    EXPECT_EQ(Exchange({0x01, 0x03, 0x0F, 0x00, 0x05}, 2), kRefused);  // volume with two
    EXPECT_EQ(Exchange({0x01, 0x02, 0x18, 0x00}, 2), kRefused);        // reading with a value
    EXPECT_EQ(Exchange({0x01, 0x02, 0x03, 0x00}, 2), kRefused);        // switch with a value
    EXPECT_TRUE(m_sim.State().standby) << "a refused start-up must not switch the transmitter on";
}

// The client has not configured the line at all: carriage returns, line
// feeds and flow-control characters must still pass both ways untouched and
// nothing may be echoed back.
TEST_F(SimWire, LineIsRawBeforeAnyClientConfiguresIt)
{
    EXPECT_EQ(Exchange({0x01, 0x02, 0x0F, 0x0A}, 2), Ok());
    EXPECT_EQ(Exchange({0x01, 0x02, 0x0F, 0x0D}, 2), Ok());
    EXPECT_EQ(Exchange({0x01, 0x02, 0x10, 0x11}, 2), Ok());  // XON
    EXPECT_EQ(Exchange({0x01, 0x02, 0x10, 0x13}, 2), Ok());  // XOFF
    ASSERT_TRUE(m_sim.WaitForFrames(4, std::chrono::milliseconds(500)));
    const auto frames = m_sim.ReceivedFrames();
    EXPECT_EQ(frames[0], Bytes({0x01, 0x02, 0x0F, 0x0A}));
    EXPECT_EQ(frames[1], Bytes({0x01, 0x02, 0x0F, 0x0D}));
    EXPECT_EQ(frames[3], Bytes({0x01, 0x02, 0x10, 0x13}));
    EXPECT_EQ(Exchange({0x01, 0x01, 0x1D}, 3), Ok({0x0D}));
    EXPECT_EQ(Exchange({0x01, 0x01, 0x1E}, 3), Ok({0x13}));
    EXPECT_TRUE(m_client->Read(1, std::chrono::milliseconds(100)).empty()) << "nothing beyond the answers";
}
