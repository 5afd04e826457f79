// The snapshot as Prometheus reads it: every series with its value in base
// units, counters for every failure code, and no reading series before the
// first reading.

#include "PrometheusText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

using namespace talvex::metrics;

namespace {

// The sample lines (no comments) of `text`.
std::vector<std::string> Samples(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != '#')
            lines.push_back(line);
    }
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST(PrometheusText, FormatsTenthsExactly)
{
    const struct {
        int tenths;
        const char* text;
    } cases[] = {{0, "0.0"},
                 {3, "0.3"},
                 {1000, "100.0"},
                 {1079, "107.9"},
                 {-15, "-1.5"},
                 {-5, "-0.5"},
                 {2147483647, "214748364.7"},
                 {-2147483647 - 1, "-214748364.8"}};
    for (const auto& c : cases)
        EXPECT_EQ(FormatTenths(c.tenths), c.text) << c.tenths;
}

TEST(PrometheusText, RendersEveryReadingInBaseUnits)
{
    Snapshot s;
    s.up = true;
    s.started = Clock::time_point{} + std::chrono::seconds(1767225600);
    s.lastGood = s.started + std::chrono::milliseconds(20005);
    s.readings = Readings{.standby = false,
                          .frequencyTenths = 1035,
                          .powerSettingTenths = 150,
                          .forwardPowerTenths = 148,
                          .swrTenths = 13,
                          .temperature = 47,
                          .lineVolume = 13,
                          .micVolume = 30,
                          .audioLevel = 65535,
                          .temperaturePoint = 65,
                          .swrPointTenths = 30,
                          .stereo = true,
                          .echo = false,
                          .lineInput = true,
                          .micInput = false};
    s.CountFailure(1);
    s.CountFailure(-1);
    s.CountFailure(-1);
    s.CountFailure(42);  // a code from a newer library is still counted
    s.build = {"talvexd", "1.0\"x\\"};
    const std::string text = RenderPrometheus(s);
    const auto lines = Samples(text);

    const char* expected[] = {
        "talvex_up 1",
        "talvex_transmitting 1",
        "talvex_frequency_hertz 103500000",
        "talvex_power_setting_watts 15.0",
        "talvex_forward_power_watts 14.8",
        "talvex_swr_ratio 1.3",
        "talvex_temperature_celsius 47",
        "talvex_line_volume 13",
        "talvex_mic_volume 30",
        "talvex_audio_level 65535",
        "talvex_temperature_protection_celsius 65",
        "talvex_swr_protection_ratio 3.0",
        "talvex_stereo 1",
        "talvex_echo 0",
        "talvex_line_input 1",
        "talvex_mic_input 0",
        "talvex_exchange_failures_total{code=\"1\"} 1",
        "talvex_exchange_failures_total{code=\"-1\"} 2",
        "talvex_exchange_failures_total{code=\"5\"} 0",
        "talvex_exchange_failures_total{code=\"42\"} 1",
        "talvex_start_time_seconds 1767225600.000",
        "talvex_last_reading_timestamp_seconds 1767225620.005",
        "talvex_build_info{program=\"talvexd\",version=\"1.0\\\"x\\\\\"} 1",
    };
    for (const char* line : expected)
        EXPECT_TRUE(Has(lines, line)) << "missing: " << line << "\n" << text;
    EXPECT_EQ(lines.size(), std::size(expected) + 4) << "the four other failure codes, at 0";

    // Every family is declared once, before its samples.
    EXPECT_NE(text.find("# TYPE talvex_exchange_failures_total counter\n"), std::string::npos);
    EXPECT_NE(text.find("# TYPE talvex_frequency_hertz gauge\n"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(PrometheusText, BeforeTheFirstReadingOnlyHealthSeriesAppear)
{
    Snapshot s;
    s.started = Clock::time_point{} + std::chrono::seconds(5);
    s.CountFailure(6);
    const auto lines = Samples(RenderPrometheus(s));
    EXPECT_TRUE(Has(lines, "talvex_up 0"));
    EXPECT_TRUE(Has(lines, "talvex_start_time_seconds 5.000"));
    EXPECT_TRUE(Has(lines, "talvex_exchange_failures_total{code=\"6\"} 1"));
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("frequency"), std::string::npos) << line;
        EXPECT_EQ(line.find("temperature"), std::string::npos) << line;
        EXPECT_EQ(line.find("last_reading"), std::string::npos) << line;
    }
}

TEST(PrometheusText, PassesPrometheusOwnNamingChecks)
{
    Snapshot s;
    s.readings = Readings{};
    s.lastGood = Clock::now();
    s.CountFailure(1);
    const std::string text = RenderPrometheus(s);
    FILE* lint = popen("promtool check metrics 2>&1", "w");
    ASSERT_NE(lint, nullptr);
    std::fwrite(text.data(), 1, text.size(), lint);
    EXPECT_EQ(pclose(lint), 0) << "promtool (Debian's prometheus) found problems in:\n" << text;
}
