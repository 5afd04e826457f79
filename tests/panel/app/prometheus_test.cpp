// The installed way of watching a site: the panel started with
// --metrics-listen, scraped by a real Prometheus every second.

#include "../../sim/SimTestSupport.h"
#include "../../support/Child.h"
#include "../../support/Ser2Net.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>

using namespace std::chrono_literals;

namespace {

std::string Get(int port, const std::string& path)
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1, 0);
    client.set_read_timeout(2, 0);
    const auto response = client.Get(path);
    return response && response->status == 200 ? response->body : std::string();
}

TEST(PanelPrometheus, ScrapesThePanelsReadings)
{
    simtest::TempDir dir;
    const int metricsPort = nettest::FreePort();
    nettest::Child panel;
    ASSERT_TRUE(
        panel.Start({TALVEXPANEL_PATH, "--simulate", "--metrics-listen", "127.0.0.1:" + std::to_string(metricsPort)},
                    dir.File("panel.log")));

    const int prometheusPort = nettest::FreePort();
    {
        std::ofstream config(dir.File("prometheus.yml"));
        config << "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
               << "scrape_configs:\n  - job_name: talvex-panel\n    static_configs:\n"
               << "      - targets: ['127.0.0.1:" << metricsPort << "']\n";
    }
    nettest::Child prometheus;
    ASSERT_TRUE(prometheus.Start(
        {"prometheus", "--config.file=" + dir.File("prometheus.yml"), "--storage.tsdb.path=" + dir.File("data"),
         "--web.listen-address=127.0.0.1:" + std::to_string(prometheusPort), "--log.level=warn"},
        dir.File("prometheus.log")))
        << "is the prometheus package installed?";

    // The simulated transmitter is tuned to 100.0 MHz; its temperature moves.
    const auto query = [&](const std::string& expr) { return Get(prometheusPort, "/api/v1/query?query=" + expr); };
    std::string frequency, temperature;
    const bool found = nettest::WaitFor(
        [&] {
            frequency = query("talvex_frequency_megahertz");
            temperature = query("talvex_temperature_celsius");
            return frequency.find(",\"100\"]") != std::string::npos &&
                   temperature.find("\"job\":\"talvex-panel\"") != std::string::npos;
        },
        30s);
    EXPECT_TRUE(found) << frequency << "\n" << temperature << "\nsee " << dir.Path();
    EXPECT_TRUE(panel.Running());
}

}  // namespace
