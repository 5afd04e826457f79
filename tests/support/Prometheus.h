#pragma once
// A real Prometheus for the tests: started on a free loopback port with a
// generated configuration that scrapes one target every second, and asked
// through its HTTP API. Also the small HTTP GET the metrics tests share.

#include "Child.h"
#include "Ser2Net.h"

#include <httplib.h>

#include <fstream>
#include <string>

namespace nettest {

// The body of a 200 answer to GET `path` on 127.0.0.1:`port`; empty otherwise.
inline std::string HttpGet(int port, const std::string& path)
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1, 0);
    client.set_read_timeout(2, 0);
    const auto response = client.Get(path);
    return response && response->status == 200 ? response->body : std::string();
}

class Prometheus
{
public:
    // Starts it in `dir` (configuration, data and log), scraping
    // 127.0.0.1:`target` as job `job`.
    bool Start(const std::string& dir, const std::string& job, int target)
    {
        m_port = FreePort();
        {
            std::ofstream config(dir + "/prometheus.yml");
            config << "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                   << "scrape_configs:\n  - job_name: " << job << "\n    static_configs:\n"
                   << "      - targets: ['127.0.0.1:" << target << "']\n";
        }
        return m_child.Start({"prometheus", "--config.file=" + dir + "/prometheus.yml",
                              "--storage.tsdb.path=" + dir + "/data",
                              "--web.listen-address=127.0.0.1:" + std::to_string(m_port), "--log.level=warn"},
                             dir + "/prometheus.log");
    }

    // The API's answer to an instant query: a vector of samples, each
    // [time, "value"], with the series' labels.
    std::string Query(const std::string& expression) const
    {
        return HttpGet(m_port, "/api/v1/query?query=" + expression);
    }

    bool Running() { return m_child.Running(); }

private:
    Child m_child;
    int m_port = 0;
};

}  // namespace nettest
