#pragma once
// Serves the newest published snapshot at /metrics over HTTP, from a thread
// of its own: publishing copies the snapshot under a small lock and returns,
// so the poller (or a UI thread) never waits for a scrape, and a scrape
// never causes an exchange with the transmitter.

#include "MetricsSnapshot.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace talvex::metrics {

struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 0;  // 0: any free port (see CMetricsServer::Port())
};

// "HOST:PORT", "[V6]:PORT", ":PORT" or "PORT"; without a host, 127.0.0.1.
std::optional<ListenAddress> ParseListenAddress(const std::string& text);

class CMetricsServer
{
public:
    CMetricsServer();
    ~CMetricsServer();
    CMetricsServer(const CMetricsServer&) = delete;
    CMetricsServer& operator=(const CMetricsServer&) = delete;

    // Binds and starts serving; false with a reason when the address cannot
    // be bound.
    bool Start(const ListenAddress& address, std::string* error = nullptr);
    // Stops serving and joins the thread. Idempotent.
    void Stop();
    // The bound port.
    int Port() const { return m_port; }

    void Publish(const Snapshot& snapshot);
    Snapshot Current() const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_listenEnded{true};  // the listening thread has returned
    int m_port = 0;
    mutable std::mutex m_lock;
    Snapshot m_snapshot;
};

}  // namespace talvex::metrics
