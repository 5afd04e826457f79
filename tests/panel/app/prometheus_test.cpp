// The installed way of watching a site: the panel started with
// --metrics-listen, scraped by a real Prometheus every second.

#include "../../sim/SimTestSupport.h"
#include "../../support/Child.h"
#include "../../support/Prometheus.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

TEST(PanelPrometheus, ScrapesThePanelsReadings)
{
    simtest::TempDir dir;
    const int metricsPort = nettest::FreePort();
    nettest::Child panel;
    ASSERT_TRUE(
        panel.Start({TALVEXPANEL_PATH, "--simulate", "--metrics-listen", "127.0.0.1:" + std::to_string(metricsPort)},
                    dir.File("panel.log")));

    nettest::Prometheus prometheus;
    ASSERT_TRUE(prometheus.Start(dir.Path(), "talvex-panel", metricsPort)) << "is the prometheus package installed?";

    // The simulated transmitter is tuned to 100.0 MHz; its temperature moves.
    const auto query = [&](const std::string& expr) { return prometheus.Query(expr); };
    std::string frequency, temperature;
    const bool found = nettest::WaitFor(
        [&] {
            frequency = query("talvex_frequency_hertz");
            temperature = query("talvex_temperature_celsius");
            return frequency.find(",\"100000000\"]") != std::string::npos &&
                   temperature.find("\"job\":\"talvex-panel\"") != std::string::npos;
        },
        30s);
    EXPECT_TRUE(found) << frequency << "\n" << temperature << "\nsee " << dir.Path();
    EXPECT_TRUE(panel.Running());
}

}  // namespace
