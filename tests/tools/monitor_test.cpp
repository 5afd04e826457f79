// talvexctl monitor as a headless site runs it: its metrics reflect the
// transmitter, scrapes cost no exchange, failures are counted, and a real
// Prometheus scrapes it through a real ser2net.

#include "../sim/SimTestSupport.h"
#include "../support/Child.h"
#include "../support/Prometheus.h"
#include "../support/Ser2Net.h"
#include "SimTransmitter.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using nettest::HttpGet;

bool HasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

class Monitor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start());
        // Frozen readings, so that every round reports the same values.
        m_sim.SetReadings({.forwardPower = 98, .reversePower = 2, .swr = 12, .temperature = 47, .level = 300});
        m_port = nettest::FreePort();
    }

    void StartMonitor(const std::string& device, const std::string& interval)
    {
        ASSERT_TRUE(m_monitor.Start({TALVEXCTL_PATH, "--port", device, "monitor", "--metrics-listen",
                                     "127.0.0.1:" + std::to_string(m_port), "--interval", interval},
                                    m_dir.File("monitor.log")));
    }

    // Waits until the metrics hold `line`; the last text seen.
    std::string WaitForMetric(const std::string& line, std::chrono::milliseconds timeout)
    {
        std::string text;
        nettest::WaitFor([&] { return HasLine(text = HttpGet(m_port, "/metrics"), line); }, timeout);
        return text;
    }

    simtest::TempDir m_dir;
    SimTransmitter m_sim{SimOptions{.linkPath = m_dir.File("ttyTX")}};
    nettest::Child m_monitor;
    int m_port = 0;
};

}  // namespace

TEST_F(Monitor, ServesTheReadingsAndScrapesCostNoExchange)
{
    StartMonitor(m_sim.DevicePath(), "3600");  // one round only
    const std::string text = WaitForMetric("talvex_up 1", 15s);
    ASSERT_TRUE(HasLine(text, "talvex_up 1")) << text;
    for (const char* line : {"talvex_frequency_megahertz 100.0", "talvex_temperature_celsius 47",
                             "talvex_forward_power_watts 9.8", "talvex_swr_ratio 1.2", "talvex_audio_level 300",
                             "talvex_transmitting 0", "talvex_build_info{program=\"talvexctl\",version=\"1.0\"} 1"})
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;

    m_sim.ClearReceived();
    for (int i = 0; i < 20; ++i)
        ASSERT_FALSE(HttpGet(m_port, "/metrics").empty());
    EXPECT_FALSE(m_sim.WaitForFrames(1, 300ms)) << "a scrape reached the transmitter";
}

TEST_F(Monitor, CountsFailuresByCodeAndReopensAfterAHangUp)
{
    SimFault refuse;
    refuse.kind = SimFaultKind::Refuse;
    refuse.code = 0x17;  // the temperature reading
    refuse.persistent = true;
    m_sim.InjectFault(refuse);
    StartMonitor(m_sim.DevicePath(), "1");
    std::string text = WaitForMetric("talvex_exchange_failures_total{code=\"1\"} 2", 15s);
    EXPECT_TRUE(HasLine(text, "talvex_exchange_failures_total{code=\"1\"} 2")) << text;
    EXPECT_TRUE(HasLine(text, "talvex_up 0")) << text;
    EXPECT_EQ(text.find("talvex_temperature_celsius"), std::string::npos) << "no complete round yet";

    // A dropped line fails a round with a write or read failure; the monitor
    // opens the port afresh and carries on once the line is back.
    m_sim.ClearFaults();
    SimFault hangUp;
    hangUp.kind = SimFaultKind::HangUp;
    hangUp.code = 0x18;  // the state reading that starts a round
    m_sim.InjectFault(hangUp);
    ASSERT_TRUE(m_sim.WaitForLine(2, 15s)) << "the monitor never reached the hang-up";
    text = WaitForMetric("talvex_up 1", 15s);
    EXPECT_TRUE(HasLine(text, "talvex_up 1")) << text;
    EXPECT_TRUE(HasLine(text, "talvex_temperature_celsius 47")) << text;
    const bool counted = HasLine(text, "talvex_exchange_failures_total{code=\"5\"} 1") ||
                         HasLine(text, "talvex_exchange_failures_total{code=\"6\"} 1");
    EXPECT_TRUE(counted) << text;
}

TEST_F(Monitor, PrometheusScrapesItThroughSer2Net)
{
    nettest::Ser2Net ser2net;
    std::string error;
    ASSERT_TRUE(ser2net.Start(m_dir.Path(), m_sim.LinkPath(), &error)) << error;
    StartMonitor(ser2net.TelnetUrl(), "1");

    nettest::Prometheus prometheus;
    ASSERT_TRUE(prometheus.Start(m_dir.Path(), "talvex", m_port)) << "is the prometheus package installed?";

    const auto query = [&](const std::string& expr) { return prometheus.Query(expr); };
    std::string frequency, temperature;
    const bool found = nettest::WaitFor(
        [&] {
            frequency = query("talvex_frequency_megahertz");
            temperature = query("talvex_temperature_celsius");
            return frequency.find(",\"100\"]") != std::string::npos &&
                   temperature.find(",\"47\"]") != std::string::npos;
        },
        30s);
    EXPECT_TRUE(found) << frequency << "\n" << temperature << "\nsee " << m_dir.Path();
    EXPECT_NE(query("up").find("\"job\":\"talvex\""), std::string::npos);
    EXPECT_TRUE(prometheus.Running());
}
