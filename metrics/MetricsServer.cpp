#include "MetricsServer.h"
#include "PrometheusText.h"

#include <httplib.h>


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

CMetricsServer::~CMetricsServer()
{
    Stop();
}

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
        response.set_content(RenderPrometheus(snapshot, Clock::now()), kContentType);
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
    m_thread = std::thread([server = m_server.get()] { server->listen_after_bind(); });
    return true;
}

void CMetricsServer::Stop()
{
    if (!m_server)
        return;
    m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

void CMetricsServer::Publish(const Snapshot& snapshot)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_snapshot = snapshot;
}

Snapshot CMetricsServer::Current() const
{
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_snapshot;
}

}  // namespace talvex::metrics
