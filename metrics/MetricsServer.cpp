#include "MetricsServer.h"
#include "PrometheusText.h"

#include <httplib.h>

#include <chrono>

namespace talvex::metrics {

namespace {

constexpr const char* kPath = "/metrics";
// A scrape is small; anything bigger than this is not one.
constexpr std::size_t kMaxRequestBody = 4096;

void MethodNotAllowed(const httplib::Request&, httplib::Response& response)
{
    response.status = 405;
    response.set_header("Allow", "GET, HEAD");
    response.set_content("only GET and HEAD\n", "text/plain");
}

}  // namespace

CMetricsServer::CMetricsServer() = default;

CMetricsServer::~CMetricsServer() { Stop(); }

bool CMetricsServer::Start(const ListenAddress& address, std::string* error)
{
    Stop();
    auto server = std::make_unique<httplib::Server>();
    server->set_payload_max_length(kMaxRequestBody);
    server->set_read_timeout(5, 0);
    server->set_write_timeout(5, 0);
    server->Get(kPath, [this](const httplib::Request&, httplib::Response& response) {
        // Copy under the lock, render outside it: the publisher waits for a
        // copy at most.
        const Snapshot snapshot = Current();
        response.set_content(RenderPrometheus(snapshot), kContentType);
    });
    server->Post(kPath, MethodNotAllowed);
    server->Put(kPath, MethodNotAllowed);
    server->Patch(kPath, MethodNotAllowed);
    server->Delete(kPath, MethodNotAllowed);
    server->Options(kPath, MethodNotAllowed);

    const int port = address.port == 0 ? server->bind_to_any_port(address.host)
                                       : (server->bind_to_port(address.host, address.port) ? address.port : -1);
    if (port <= 0) {
        if (error)
            *error = "cannot listen on " + address.host + ":" + std::to_string(address.port);
        return false;
    }
    m_port = port;
    m_server = std::move(server);
    m_listenEnded = false;
    m_thread = std::thread([this, server = m_server.get()] {
        server->listen_after_bind();
        m_listenEnded = true;
    });
    return true;
}

void CMetricsServer::Stop()
{
    if (!m_server)
        return;
    // stop() does nothing until the thread has begun to listen, which a
    // busy machine may not have let it do yet: ask until it has ended.
    while (!m_listenEnded) {
        m_server->stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

}  // namespace talvex::metrics
