// The simulated transmitter's moving readings, on a clock the test drives.

#include "DeviceModel.h"

#include <gtest/gtest.h>
#include <set>

using namespace std::chrono_literals;
using sim::DeviceModel;

namespace {

int ReadOne(DeviceModel& model, std::uint8_t code, DeviceModel::Clock::time_point now)
{
    const auto answer = model.Execute({0x01, 0x01, code}, now);
    EXPECT_EQ(answer.size(), 3u);
    return answer.size() == 3 ? answer[2] : -1;
}

}  // namespace

TEST(SimDeviceModel, ForwardPowerFollowsThePowerSettingOnlyWhileOn)
{
    DeviceModel model(7);
    const auto t0 = DeviceModel::Clock::now();
    EXPECT_EQ(ReadOne(model, 0x14, t0), 0) << "standby transmits nothing";
    model.Execute({0x01, 0x01, 0x03}, t0);
    model.Execute({0x01, 0x02, 0x11, 0x2D}, t0);
    EXPECT_EQ(ReadOne(model, 0x14, t0), 45);
    model.Execute({0x01, 0x01, 0x02}, t0);
    EXPECT_EQ(ReadOne(model, 0x14, t0), 0);
}

TEST(SimDeviceModel, SwrStaysPlausibleAndReversePowerBelowForward)
{
    DeviceModel model(3);
    auto t = DeviceModel::Clock::now();
    model.Execute({0x01, 0x01, 0x03}, t);
    model.Execute({0x01, 0x02, 0x11, 150}, t);
    std::set<int> seen;
    for (int i = 0; i < 200; ++i) {
        t += 10ms;
        const int swr = ReadOne(model, 0x16, t);
        EXPECT_GE(swr, 10);
        EXPECT_LE(swr, 13);
        seen.insert(swr);
        EXPECT_LT(ReadOne(model, 0x15, t), 150);
    }
    EXPECT_GT(seen.size(), 1u) << "the ratio should move";
}

TEST(SimDeviceModel, TemperatureClimbsSlowlyWhileTransmittingAndCoolsInStandby)
{
    DeviceModel model(1);
    auto t = DeviceModel::Clock::now();
    const int cold = ReadOne(model, 0x17, t);
    model.Execute({0x01, 0x01, 0x03}, t);
    model.Execute({0x01, 0x02, 0x11, 150}, t);
    t += 1s;
    EXPECT_LE(ReadOne(model, 0x17, t) - cold, 1) << "no jumps";
    t += 2min;
    const int warm = ReadOne(model, 0x17, t);
    EXPECT_GT(warm, cold + 5);
    EXPECT_LT(warm, 70) << "stays below the highest protection point";
    model.Execute({0x01, 0x01, 0x02}, t);
    t += 2min;
    EXPECT_LT(ReadOne(model, 0x17, t), warm);
}

TEST(SimDeviceModel, LevelMovesWithAudioInAndFallsToNoiseWithout)
{
    DeviceModel model(5);
    auto t = DeviceModel::Clock::now();
    auto level = [&] {
        const auto a = model.Execute({0x01, 0x01, 0x22}, t);
        return a.size() == 4 ? a[2] * 256 + a[3] : -1;
    };
    std::set<int> values;
    int loudest = 0;
    for (int i = 0; i < 50; ++i) {
        t += 100ms;
        const int v = level();
        ASSERT_GE(v, 0);
        values.insert(v);
        loudest = std::max(loudest, v);
    }
    EXPECT_GT(values.size(), 10u);
    EXPECT_GT(loudest, 255) << "the meter should be driven above its top now and then";

    model.Execute({0x01, 0x01, 0x04}, t);  // LINE off; MIC is off from the start
    for (int i = 0; i < 20; ++i) {
        t += 100ms;
        EXPECT_LT(level(), 256);
    }
}

TEST(SimDeviceModel, FrozenReadingsStayExactlyAsSet)
{
    DeviceModel model(9);
    auto t = DeviceModel::Clock::now();
    model.SetReadings({.forwardPower = 200, .reversePower = 9, .swr = 33, .temperature = 99, .level = 0x1234});
    for (int i = 0; i < 3; ++i) {
        t += 10s;
        EXPECT_EQ(ReadOne(model, 0x14, t), 200);
        EXPECT_EQ(ReadOne(model, 0x16, t), 33);
        EXPECT_EQ(ReadOne(model, 0x17, t), 99);
        EXPECT_EQ(model.Execute({0x01, 0x01, 0x22}, t), DeviceModel::Bytes({'O', 'K', 0x12, 0x34}));
    }
    model.SetLive(true);
    t += 10s;
    EXPECT_LE(ReadOne(model, 0x16, t), 13);
}
