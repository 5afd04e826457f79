// The panel's readings for Prometheus (--metrics-listen): what the pollers
// read, the failures they met, and no exchange of its own for a scrape.
#include "fixture.h"

#include "mainwindow/PanelMetrics.h"

#include <httplib.h>

namespace panel_test {
namespace {

using MetricsTest = MainWindowTest;

bool HasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST_F(MetricsTest, ServesWhatThePollersReadAndScrapesSendNothing)
{
    m_sim.SetReadings({.forwardPower = 98, .reversePower = 2, .swr = 12, .temperature = 47, .level = 300});
    Refuse(0x22, true);  // GetRtVol: every level reading is refused
    PanelOptions options;
    options.ports = QStringList{SimPort()};
    options.metricsListen = QStringLiteral("127.0.0.1:0");
    m_dlg = std::make_unique<CTransmitterDlg>(options);
    ASSERT_TRUE(m_dlg->OnInitDialog());
    ASSERT_NE(m_dlg->Metrics(), nullptr);

    httplib::Client client("127.0.0.1", m_dlg->Metrics()->Port());
    client.set_connection_timeout(1, 0);
    client.set_read_timeout(2, 0);
    std::string text;
    const auto scraped = [&] {
        PumpFor(std::chrono::milliseconds(100));
        const auto response = client.Get("/metrics");
        text = response && response->status == 200 ? response->body : std::string();
        return HasLine(text, "talvex_temperature_celsius 47") && text.find("{code=\"1\"} 0\n") == std::string::npos;
    };
    bool found = false;
    for (int i = 0; i < 50 && !found; ++i) {
        found = scraped();
    }
    ASSERT_TRUE(found) << text;
    for (const char* line :
         {"talvex_transmitting 1", "talvex_frequency_hertz 100000000", "talvex_forward_power_watts 9.8",
          "talvex_temperature_celsius 47", "talvex_power_setting_watts 10.0",
          "talvex_build_info{program=\"TalvexPanel\",version=\"1.0\"} 1"}) {
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    }
    EXPECT_EQ(text.find("talvex_temperature_protection_celsius"), std::string::npos) << "never read by the panel";

    // With the pollers stopped, scrapes leave the line quiet.
    for (CDevicePoller* poller : m_dlg->Core().findChildren<CDevicePoller*>()) {
        poller->Stop();
    }
    QCoreApplication::sendPostedEvents();
    m_sim.ClearReceived();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(client.Get("/metrics"));
    }
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace panel_test
