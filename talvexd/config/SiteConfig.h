#pragma once
// talvexd.toml: what the service runs against and where it keeps things.

#include "MetricsServer.h"
#include "talvexd/alarms/Alarm.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

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
    int historyDays = 30;                      // readings older than this go
    std::chrono::seconds historyInterval{10};  // one readings row per this, at most
    int logDays = 365;                         // events older than this go
    int maxSizeMb = 0;                         // 0: as large as the disk allows
    // [web]
    std::string webDirectory = "/usr/share/talvex/web";  // the page's own files
    std::string webLibraries = "/usr/share/javascript";  // the system's copies of the libraries it uses
    // [snmp] agentx: snmpd's AgentX address, "tcp:HOST:PORT" or a socket
    // path; empty (no [snmp]): no SNMP.
    std::string snmpAgentx;
    // [alarms.NAME], by AlarmKind
    std::array<AlarmRule, std::size(kAlarmKinds)> alarms = DefaultAlarmRules();
    // [notify]
    std::string siteName;                 // in every message; empty: the host name
    std::chrono::seconds retryFirst{10};  // the first pause after a failed delivery
    std::chrono::seconds retryMax{600};   // the pause doubles up to this
    int summaryAfter = 10;                // more than this a minute: one summary
    // [notify.email]: off while the url is empty
    struct Email {
        std::string url;  // smtp://HOST:PORT (STARTTLS required) or smtps://HOST:PORT
        std::string from;
        std::vector<std::string> to;
        std::string user;
        std::string passwordFile;
        std::string caFile;  // empty: the system's certificate authorities
    } email;
    // [notify.webhook]: off while the url is empty
    struct Webhook {
        std::string url;
        std::string secretFile;  // the shared secret of the signature
        std::string caFile;
    } webhook;

    const AlarmRule& Rule(AlarmKind kind) const { return alarms[static_cast<std::size_t>(kind)]; }
    static std::array<AlarmRule, std::size(kAlarmKinds)> DefaultAlarmRules();
};

// The site's name as messages and the web page give it: [notify] site, or
// else the host name.
std::string SiteName(const SiteConfig& config);

// Reads `path`. false with one line naming the file, the line and the key
// ("FILE:LINE: KEY: reason") in `error`.
bool LoadSiteConfig(const std::string& path, SiteConfig& config, std::string* error);

}  // namespace talvexd
