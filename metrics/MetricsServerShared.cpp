// What both listeners share: the listen address and the published snapshot.

#include "MetricsServer.h"

#include <charconv>

namespace talvex::metrics {

std::optional<ListenAddress> ParseListenAddress(const std::string& text)
{
    ListenAddress address;
    std::string port = text;
    if (!text.empty() && text[0] == '[') {
        const auto close = text.find("]:");
        if (close == std::string::npos || close == 1)
            return std::nullopt;
        address.host = text.substr(1, close - 1);
        port = text.substr(close + 2);
    } else if (const auto colon = text.rfind(':'); colon != std::string::npos) {
        if (text.find(':') != colon)
            return std::nullopt;  // an IPv6 address needs brackets
        if (colon > 0)
            address.host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    int value = -1;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 0 || value > 65535)
        return std::nullopt;
    address.port = value;
    return address;
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
