#pragma once
// talvexd.toml: what the service runs against and where it keeps things.

#include "MetricsServer.h"

#include <string>

namespace talvexd {

inline constexpr char kDefaultConfigPath[] = "/etc/talvex/talvexd.toml";
inline constexpr int kDefaultHttpPort = 9714;

struct SiteConfig {
    std::string file;  // the file it was read from
    // [device]
    std::string port;  // anything OpenCommPath takes
    // [http]
    talvex::metrics::ListenAddress listen{"127.0.0.1", kDefaultHttpPort};
    std::string tlsCertificate;  // both set: HTTPS only
    std::string tlsKey;
    bool metricsRequireAuth = false;
    // [auth]
    std::string usersFile = "/etc/talvex/users";
    // [schedule]
    std::string scheduleFile = "/var/lib/talvex/config.xml";
    // [data]
    std::string dataDirectory = "/var/lib/talvex";
};

// Reads `path`. false with one line naming the file, the line and the key
// ("FILE:LINE: KEY: reason") in `error`.
bool LoadSiteConfig(const std::string& path, SiteConfig& config, std::string* error);

}  // namespace talvexd
