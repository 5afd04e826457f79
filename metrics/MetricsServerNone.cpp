// The metrics listener where this build has no HTTP server library (the
// Windows builds for now): it never starts, and says so.

#include "MetricsServer.h"

// The server type is only ever held, never made, here.
namespace httplib {
class Server
{};
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

}  // namespace talvex::metrics
