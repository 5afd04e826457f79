// Every command through the library and a real terminal line: the exact
// request bytes that leave, and how the answers are decoded.

#include "SimDeviceFixture.h"

#include <cstring>
#include <functional>

using simtest::Bytes;

namespace {

constexpr int kDelay = 0;  // reply delay: the answer is complete at once here

struct RequestCase {
    const char* name;
    std::function<int()> call;
    Bytes request;
};

int g_int = 0;
unsigned char g_byte = 0;
char g_text[32] = {};

const RequestCase kRequests[] = {
    {"ShutDown", [] { return ShutDown(kDelay); }, {0x01, 0x01, 0x02}},
    {"StartUp", [] { return StartUp(kDelay); }, {0x01, 0x01, 0x03}},
    {"SetLINEOff", [] { return SetLINE(0, kDelay); }, {0x01, 0x01, 0x04}},
    {"SetLINEOn", [] { return SetLINE(5, kDelay); }, {0x01, 0x01, 0x06}},
    {"SetMICOff", [] { return SetMIC(0, kDelay); }, {0x01, 0x01, 0x05}},
    {"SetMICOn", [] { return SetMIC(1, kDelay); }, {0x01, 0x01, 0x07}},
    {"SetRBTOff", [] { return SetRBT(0, kDelay); }, {0x01, 0x01, 0x08}},
    {"SetRBTOn", [] { return SetRBT(-1, kDelay); }, {0x01, 0x01, 0x09}},
    {"SetBackLightOn", [] { return SetBackLight(1, kDelay); }, {0x01, 0x01, 0x0A}},
    {"SetBackLightOff", [] { return SetBackLight(0, kDelay); }, {0x01, 0x01, 0x0B}},
    {"SetSoundChannelStereo", [] { return SetSoundChannel(1, kDelay); }, {0x01, 0x01, 0x0C}},
    {"SetSoundChannelMono", [] { return SetSoundChannel(0, kDelay); }, {0x01, 0x01, 0x0D}},
    {"SetFMFreq", [] { return SetFMFreq(1000, kDelay); }, {0x01, 0x03, 0x0E, 0x03, 0xE8}},
    {"SetFMFreqTop", [] { return SetFMFreq(1080, kDelay); }, {0x01, 0x03, 0x0E, 0x04, 0x38}},
    {"SetFMFreqLow16Bits", [] { return SetFMFreq(65536 + 870, kDelay); }, {0x01, 0x03, 0x0E, 0x03, 0x66}},
    {"SetLINEVol", [] { return SetLINEVol(13, kDelay); }, {0x01, 0x02, 0x0F, 0x0D}},
    {"SetMICVol", [] { return SetMICVol(30, kDelay); }, {0x01, 0x02, 0x10, 0x1E}},
    {"SetLaunchPWR", [] { return SetLaunchPWR(100, kDelay); }, {0x01, 0x02, 0x11, 0x64}},
    {"SetLaunchPWRLow8Bits", [] { return SetLaunchPWR(256 + 150, kDelay); }, {0x01, 0x02, 0x11, 0x96}},
    {"SetStdyWavePt", [] { return SetStdyWavePt(35, kDelay); }, {0x01, 0x02, 0x12, 0x23}},
    {"SetTmpPt", [] { return SetTmpPt(60, kDelay); }, {0x01, 0x02, 0x13, 0x3C}},
    {"GetFwdPWR", [] { return GetFwdPWR(&g_int, kDelay); }, {0x01, 0x01, 0x14}},
    {"GetRvrPWR", [] { return GetRvrPWR(&g_int, kDelay); }, {0x01, 0x01, 0x15}},
    {"GetStdyWaveRatio", [] { return GetStdyWaveRatio(&g_int, kDelay); }, {0x01, 0x01, 0x16}},
    {"GetTemperature", [] { return GetTemperature(&g_int, kDelay); }, {0x01, 0x01, 0x17}},
    {"GetDevState", [] { return GetDevState(&g_byte, kDelay); }, {0x01, 0x01, 0x18}},
    {"GetSerialNum", [] { return GetSerialNum(g_text, sizeof g_text, kDelay); }, {0x01, 0x01, 0x19}},
    {"GetVersionNum", [] { return GetVersionNum(g_text, sizeof g_text, kDelay); }, {0x01, 0x01, 0x1A}},
    {"GetDevType", [] { return GetDevType(g_text, sizeof g_text, kDelay); }, {0x01, 0x01, 0x1B}},
    {"GetFMFreq", [] { return GetFMFreq(&g_int, kDelay); }, {0x01, 0x01, 0x1C}},
    {"GetLineVol", [] { return GetLineVol(&g_int, kDelay); }, {0x01, 0x01, 0x1D}},
    {"GetMicVol", [] { return GetMicVol(&g_int, kDelay); }, {0x01, 0x01, 0x1E}},
    {"GetLaunchPWR", [] { return GetLaunchPWR(&g_int, kDelay); }, {0x01, 0x01, 0x1F}},
    {"GetTmpPt", [] { return GetTmpPt(&g_int, kDelay); }, {0x01, 0x01, 0x20}},
    {"GetStdyWavePt", [] { return GetStdyWavePt(&g_int, kDelay); }, {0x01, 0x01, 0x21}},
    {"GetRtVol", [] { return GetRtVol(&g_int, kDelay); }, {0x01, 0x01, 0x22}},
};

class CommandRequest : public SimDevice, public ::testing::WithParamInterface<RequestCase>
{};

}  // namespace

TEST_P(CommandRequest, SendsExactlyItsFrameAndIsAcknowledged)
{
    m_sim.ClearReceived();
    EXPECT_EQ(GetParam().call(), 1);
    EXPECT_EQ(GetLastCommError(), TALVEX_OK);
    EXPECT_EQ(OnlyFrame(), GetParam().request);
}

INSTANTIATE_TEST_SUITE_P(AllCommands, CommandRequest, ::testing::ValuesIn(kRequests),
                         [](const auto& info) { return std::string(info.param.name); });

// Values the transmitter refuses still leave as the truncated bytes.
TEST_F(SimDevice, OutOfRangeValuesAreSentTruncatedAndRefusedByTheTransmitter)
{
    EXPECT_EQ(SetLINEVol(256, kDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_EQ(OnlyFrame(), Bytes({0x01, 0x02, 0x0F, 0x00}));
    m_sim.ClearReceived();
    EXPECT_EQ(SetFMFreq(1081, kDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_EQ(OnlyFrame(), Bytes({0x01, 0x03, 0x0E, 0x04, 0x39}));
    EXPECT_EQ(m_sim.State().frequency, 1000);
}

TEST_F(SimDevice, ReadingsDecodeTheirDataBytes)
{
    SimState s = m_sim.State();
    s.frequency = 870;  // 03 66
    s.power = 150;      // 96: above 127, must not come back negative
    s.lineVolume = 13;
    s.micVolume = 30;
    s.temperaturePoint = 70;
    s.swrPoint = 40;
    s.serial = {0x12, 0xAB, 0x00, 0x05, 0xFF, 0x3C, 0x7E};
    s.version = "13";
    s.deviceType = "K2a";
    m_sim.SetState(s);
    m_sim.SetReadings({.forwardPower = 200, .reversePower = 255, .swr = 12, .temperature = 45, .level = 0xFFFE});

    struct IntReading {
        const char* name;
        int (*get)(int*, int);
        int expected;
    };
    const IntReading readings[] = {
        {"GetFMFreq", &GetFMFreq, 870},
        {"GetLaunchPWR", &GetLaunchPWR, 150},
        {"GetLineVol", &GetLineVol, 13},
        {"GetMicVol", &GetMicVol, 30},
        {"GetTmpPt", &GetTmpPt, 70},
        {"GetStdyWavePt", &GetStdyWavePt, 40},
        {"GetFwdPWR", &GetFwdPWR, 200},
        {"GetRvrPWR", &GetRvrPWR, 255},
        {"GetStdyWaveRatio", &GetStdyWaveRatio, 12},
        {"GetTemperature", &GetTemperature, 45},
        {"GetRtVol", &GetRtVol, 0xFFFE},
    };
    for (const IntReading& r : readings) {
        int value = -12345;
        EXPECT_EQ(r.get(&value, kDelay), 1) << r.name;
        EXPECT_EQ(value, r.expected) << r.name;
    }

    char text[15];
    std::memset(text, 'x', sizeof text);
    ASSERT_EQ(GetSerialNum(text, sizeof text, kDelay), 1);
    EXPECT_STREQ(text, "12AB0005FF3C7E");
    char version[3] = {'x', 'x', 'x'};
    ASSERT_EQ(GetVersionNum(version, sizeof version, kDelay), 1);
    EXPECT_STREQ(version, "13");
    char type[4] = {'x', 'x', 'x', 'x'};
    ASSERT_EQ(GetDevType(type, sizeof type, kDelay), 1);
    EXPECT_STREQ(type, "K2a");
}

TEST_F(SimDevice, DevStateWritesExactlyOneByte)
{
    SimState s = m_sim.State();
    s.standby = true;
    s.mono = true;
    s.echoOff = false;
    s.lineOn = true;
    s.micOff = true;
    m_sim.SetState(s);
    unsigned char around[3] = {0xAA, 0x00, 0x55};
    ASSERT_EQ(GetDevState(&around[1], kDelay), 1);
    EXPECT_EQ(around[0], 0xAA);
    EXPECT_EQ(around[1], 0x01 | 0x04 | 0x20 | 0x40);
    EXPECT_EQ(around[2], 0x55);
}

TEST_F(SimDevice, TextBuffersTooSmallSendNothing)
{
    char text[15] = "unchanged";
    EXPECT_EQ(GetSerialNum(text, 14, kDelay), 0);
    EXPECT_EQ(GetVersionNum(text, 2, kDelay), 0);
    EXPECT_EQ(GetDevType(text, 3, kDelay), 0);
    EXPECT_EQ(GetLastCommError(), -1) << "the code from the open stays";
    EXPECT_FALSE(m_sim.WaitForFrames(1, std::chrono::milliseconds(150)));
}

// 0xFF is Telnet's escape byte: over an RFC 2217 port it is doubled on the
// wire and must arrive single, both ways.
TEST_F(SimDevice, BytesFFCrossTheLineUnchangedBothWays)
{
    EXPECT_EQ(SetLaunchPWR(0xFF, kDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_EQ(OnlyFrame(), Bytes({0x01, 0x02, 0x11, 0xFF}));

    SimState s = m_sim.State();
    s.serial = {0xFF, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0xFE};
    m_sim.SetState(s);
    m_sim.SetReadings({.forwardPower = 0xFF, .reversePower = 0, .swr = 10, .temperature = 30, .level = 0xFFFF});
    int level = 0;
    ASSERT_EQ(GetRtVol(&level, kDelay), 1);
    EXPECT_EQ(level, 0xFFFF);
    int power = 0;
    ASSERT_EQ(GetFwdPWR(&power, kDelay), 1);
    EXPECT_EQ(power, 0xFF);
    char text[15] = {};
    ASSERT_EQ(GetSerialNum(text, sizeof text, kDelay), 1);
    EXPECT_STREQ(text, "FFFF01FFFFFFFE");
}
