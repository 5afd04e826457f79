// The metrics listener where this build has no HTTP server library (the
// Windows builds for now): it never starts, and says so.

#include "MetricsServer.h"

// The server type is only ever held, never made, here.
namespace httplib {
class Server {};
}  // namespace httplib

namespace talvex::metrics {

CMetricsServer::CMetricsServer() = default;

CMetricsServer::~CMetricsServer() = default;

bool CMetricsServer::Start(const ListenAddress&, std::string* error)
{
    if (error != nullptr)
        *error = "serving metrics is not available in this build";
    return false;
}

void CMetricsServer::Stop() {}

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
