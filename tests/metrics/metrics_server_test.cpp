// The metrics listener over real HTTP: the published snapshot at /metrics,
// the right status for every other request, and no crash on hostile ones.

#include "MetricsServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace talvex::metrics;

TEST(ListenAddress, ParsesHostAndPort)
{
    const struct {
        const char* text;
        bool valid;
        const char* host;
        int port;
    } cases[] = {
        {"9100", true, "127.0.0.1", 9100}, {":9100", true, "127.0.0.1", 9100}, {"0.0.0.0:9100", true, "0.0.0.0", 9100},
        {"[::1]:9100", true, "::1", 9100}, {"host:0", true, "host", 0},        {"", false, "", 0},
        {"host:", false, "", 0},           {"host:65536", false, "", 0},       {"host:-1", false, "", 0},
        {"::1:9100", false, "", 0},        {"host:91x", false, "", 0},         {"[::1]9100", false, "", 0},
    };
    for (const auto& c : cases) {
        const auto address = ParseListenAddress(c.text);
        ASSERT_EQ(address.has_value(), c.valid) << c.text;
        if (address) {
            EXPECT_EQ(address->host, c.host) << c.text;
            EXPECT_EQ(address->port, c.port) << c.text;
        }
    }
}

class MetricsServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(m_server.Start({"127.0.0.1", 0}, &error)) << error;
        Snapshot s;
        s.up = true;
        s.readings = Readings{};
        s.readings->frequencyTenths = 987;
        s.build = {"test", "9"};
        m_server.Publish(s);
    }

    httplib::Client Client() const
    {
        httplib::Client client("127.0.0.1", m_server.Port());
        client.set_connection_timeout(2, 0);
        client.set_read_timeout(2, 0);
        return client;
    }

    CMetricsServer m_server;
};

TEST_F(MetricsServerTest, ServesThePublishedSnapshot)
{
    auto client = Client();
    auto response = client.Get("/metrics");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    EXPECT_NE(response->body.find("\ntalvex_frequency_hertz 98700000\n"), std::string::npos) << response->body;

    Snapshot changed = m_server.Current();
    changed.readings->frequencyTenths = 1080;
    m_server.Publish(changed);
    response = client.Get("/metrics");
    ASSERT_TRUE(response);
    EXPECT_NE(response->body.find("\ntalvex_frequency_hertz 108000000\n"), std::string::npos);
    EXPECT_TRUE(client.Head("/metrics"));
}

TEST_F(MetricsServerTest, OtherRequestsGetTheirStatusAndTheServerStaysUp)
{
    auto client = Client();
    const struct {
        const char* what;
        std::function<httplib::Result()> send;
        int status;
    } cases[] = {
        {"wrong path", [&] { return client.Get("/"); }, 404},
        {"path below", [&] { return client.Get("/metrics/x"); }, 404},
        {"POST", [&] { return client.Post("/metrics", "x", "text/plain"); }, 405},
        {"PUT", [&] { return client.Put("/metrics", "x", "text/plain"); }, 405},
        {"DELETE", [&] { return client.Delete("/metrics"); }, 405},
        {"huge header",
         [&] {
             return client.Get("/metrics", {{"X-Filler", std::string(64 * 1024, 'a')}});
         },
         400},
        {"huge URI", [&] { return client.Get("/metrics?" + std::string(64 * 1024, 'q')); }, 414},
        {"huge body", [&] { return client.Post("/metrics", std::string(1 << 20, 'b'), "text/plain"); }, 413},
    };
    for (const auto& c : cases) {
        const auto response = c.send();
        // The server may close on a request it will not read; a status, when
        // one comes, is the right one.
        if (response) {
            EXPECT_EQ(response->status, c.status) << c.what;
            if (c.status == 405) {
                EXPECT_EQ(response->get_header_value("Allow"), "GET, HEAD") << c.what;
            }
        }
        auto check = Client().Get("/metrics");
        ASSERT_TRUE(check) << "server gone after " << c.what;
        EXPECT_EQ(check->status, 200) << c.what;
    }
}

TEST_F(MetricsServerTest, PublishingNeverWaitsForScrapes)
{
    // Scrapes running flat out against publishing: every publish is a copy
    // under the lock, so thousands finish quickly however busy the listener is.
    std::atomic<bool> stop{false};
    std::thread scraper([&] {
        auto client = Client();
        while (!stop)
            client.Get("/metrics");
    });
    Snapshot s = m_server.Current();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5000; ++i) {
        s.CountFailure(4);
        m_server.Publish(s);
    }
    const auto took = std::chrono::steady_clock::now() - start;
    stop = true;
    scraper.join();
    EXPECT_LT(std::chrono::duration<double>(took).count(), 2.0);
    EXPECT_EQ(m_server.Current().failures.at(4), 5000u);
    m_server.Stop();
    m_server.Stop();
    EXPECT_FALSE(Client().Get("/metrics")) << "nothing listens after Stop";
}
