// talvexd.toml read from real files: every mistake named by file, line and
// key, a file with every key, and the file the package ships.

#include "sim/SimTestSupport.h"
#include "talvexd/config/SiteConfig.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <tuple>

using namespace std::chrono_literals;

using talvexd::AlarmKind;
using talvexd::AlarmRule;
using talvexd::LoadSiteConfig;
using talvexd::Severity;
using talvexd::SiteConfig;

namespace {

const std::string kPort = "[device]\nport = \"/dev/ttyUSB0\"\n";  // two lines
const std::string kShipped = TALVEXD_SHIPPED_CONFIG;

// Loads `text` from x.toml (no file when empty); the error, empty when it loaded.
std::string Load(const std::string& text, SiteConfig& config)
{
    const simtest::TempDir dir;
    if (!text.empty())
        std::ofstream(dir.File("x.toml")) << text;
    std::string error;
    return LoadSiteConfig(dir.File("x.toml"), config, &error) ? std::string() : error;
}

}  // namespace

TEST(SiteConfig, NamesFileLineAndKeyOfEveryMistake)
{
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "x.toml: no such file or directory"},
        {"[device]\nport = \n", "x.toml:2: "},
        {kPort + "[alarms.swr]\n[alarms.foo]\n", "x.toml:4: alarms.foo: unknown alarm; the alarms are swr, "},
        {kPort + "[alarms.swr]\nlevel = 1\n", "x.toml:4: alarms.swr.level: unknown key"},
        {kPort + "[alarms.link]\nthreshold = 1\n", "x.toml:4: alarms.link.threshold: link has no threshold"},
        {kPort + "[alarms.swr]\nseverity = \"high\"\n", "x.toml:4: alarms.swr.severity: expected \"critical\" or"},
        {kPort + "[alarms.swr]\nthreshold = \"2\"\n", "x.toml:4: alarms.swr.threshold: expected a number"},
        {kPort + "[alarms.silence]\ndelay = -1\n", "x.toml:4: alarms.silence.delay: expected a number of seconds"},
        {kPort + "[data]\nhistory_days = 0\n", "x.toml:4: data.history_days: 0 is out of range, 1..3650"},
        {kPort + "[data]\nhistory_interval = 1.5\n", "x.toml:4: data.history_interval: expected a whole number"},
        {kPort + "[notify]\nretry_first = 60\nretry_max = 30\n", "x.toml:5: notify.retry_max: under retry_first"},
        {kPort + "[notify.email]\nurl = \"imap://h\"\n", "x.toml:4: notify.email.url: not a URL: smtp://HOST:PORT or"},
        {kPort + "[notify.email]\nurl = \"smtp://h\"\nfrom = \"a@b\"\n", "x.toml:4: notify.email.url: set without to"},
        {kPort + "[notify.email]\nto = [\"a@b\", \"c\"]\n", "x.toml:4: notify.email.to: not a mail address: \"c\""},
        {kPort + "[notify.email]\nuser = \"u\"\n", "x.toml:4: notify.email.user: set without password_file"},
        {kPort + "[notify.email]\nca_file = \"/nonexistent\"\n", "x.toml:4: notify.email.ca_file: cannot read"},
        {kPort + "[notify.webhook]\nurl = \"https://h/\"\n", "x.toml:4: notify.webhook.url: set without secret_file"},
        {kPort + "baud = 9600\n", "x.toml:3: device.baud: unknown key"},
        {kPort + "[http.tls]\n", "x.toml:3: http.tls: unknown table"},
        {"http = 5\n", "x.toml:1: http: expected a table"},
        {"[device]\nport = 5\n", "x.toml:2: device.port: expected a string"},
        {kPort + "[http]\nmetrics_require_auth = \"yes\"\n", "x.toml:4: http.metrics_require_auth: expected true or"},
        {"\n[device]\n", "x.toml:2: device.port: missing"},
        {"\n\n[http]\n", "x.toml:1: device.port: missing"},
        {kPort + "[data]\ndirectory = \"\"\n", "x.toml:4: data.directory: empty"},
        {kPort + "[http]\nlisten = \"127.0.0.1:65536\"\n", "x.toml:4: http.listen: not a listen address"},
        {kPort + "[http]\ntls_key = \"" + kShipped + "\"\n", "x.toml:4: http.tls_key: set without tls_certificate"},
        {kPort + "[http]\ntls_certificate = \"" + kShipped + "\"\ntls_key = \"/nonexistent\"\n",
         "x.toml:5: http.tls_key: cannot read /nonexistent: no such file"},
        {"[device]\nport = \"ttyUSB0\"\n", "x.toml:2: device.port: not a port name: a device path"},
        {"[device]\nport = \"rfc2217://host\"\n", "x.toml:2: device.port: not a network port name"},
        {"[device]\n\"a\\nb\" = 1\n", "x.toml:2: device.a b: unknown key"},
        {kPort + "[snmp]\nagentx = \"udp:127.0.0.1:705\"\n", "x.toml:4: snmp.agentx: expected tcp:HOST:PORT or"},
        {kPort + "[snmp]\nagentx = \"tcp:127.0.0.1:0\"\n", "x.toml:4: snmp.agentx: not a port: '0'"},
        {kPort + "[snmp]\nagentx = \"tcp:705\"\n", "x.toml:4: snmp.agentx: expected tcp:HOST:PORT or"},
        {kPort + "[snmp]\n", "x.toml:3: snmp.agentx: missing; [snmp] needs the address"},
    };
    for (const auto& c : cases) {
        SiteConfig config;
        const std::string error = Load(c.text, config);
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << "\ngave: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(SiteConfig, ReadsEveryKey)
{
    const std::string text =
        "[device]\nport = \"socket://[::1]:2000\"\n"
        "[http]\nlisten = \"[::]:8443\"\nmetrics_require_auth = true\n"
        "tls_certificate = \"" +
        kShipped + "\"\ntls_key = \"" + kShipped +
        "\"\n"
        "[auth]\nusers_file = \"/srv/users\"\n"
        "[schedule]\nfile = \"/srv/config.xml\"\n"
        "[data]\ndirectory = \"/srv\"\nhistory_days = 7\nhistory_interval = 60\nlog_days = 90\n"
        "max_size_mb = 500\n"
        "[alarms.swr]\nenabled = false\nseverity = \"warning\"\nthreshold = 2.5\ndelay = 0.5\n"
        "hysteresis = 0.2\nclear_delay = 20\n"
        "[notify]\nsite = \"Hill\"\nretry_first = 5\nretry_max = 60\nsummary_after = 3\n"
        "[notify.email]\nurl = \"smtps://mail:465\"\nfrom = \"fm@a.org\"\nto = [\"x@a.org\", \"y@a.org\"]\n"
        "user = \"fm\"\npassword_file = \"" +
        kShipped + "\"\nca_file = \"" + kShipped +
        "\"\n"
        "[notify.webhook]\nurl = \"http://127.0.0.1:8080/hook\"\nsecret_file = \"" +
        kShipped + "\"\n[snmp]\nagentx = \"tcp:[::1]:705\"\n";
    SiteConfig config;
    ASSERT_EQ(Load(text, config), "");
    EXPECT_EQ(config.port, "socket://[::1]:2000");
    EXPECT_EQ(config.listen.host, "::");
    EXPECT_EQ(config.listen.port, 8443);
    EXPECT_EQ(config.tlsCertificate, kShipped);
    EXPECT_EQ(config.tlsKey, kShipped);
    EXPECT_TRUE(config.metricsRequireAuth);
    EXPECT_EQ(config.usersFile, "/srv/users");
    EXPECT_EQ(config.scheduleFile, "/srv/config.xml");
    EXPECT_EQ(config.dataDirectory, "/srv");
    EXPECT_EQ(std::tie(config.historyDays, config.historyInterval, config.logDays, config.maxSizeMb),
              std::tuple(7, 60s, 90, 500));
    EXPECT_EQ(config.Rule(AlarmKind::Swr), (AlarmRule{false, 2.5, 500ms, 0.2, 20s, Severity::Warning}));
    EXPECT_EQ(std::tie(config.siteName, config.retryFirst, config.retryMax, config.summaryAfter),
              std::tuple("Hill", 5s, 60s, 3));
    const SiteConfig::Email& e = config.email;
    EXPECT_EQ(std::tie(e.url, e.from, e.to, e.user, e.passwordFile, e.caFile),
              std::tuple("smtps://mail:465", "fm@a.org", std::vector<std::string>{"x@a.org", "y@a.org"}, "fm", kShipped,
                         kShipped));
    EXPECT_EQ(std::tie(config.webhook.url, config.webhook.secretFile),
              std::tuple("http://127.0.0.1:8080/hook", kShipped));
    EXPECT_EQ(config.snmpAgentx, "tcp:[::1]:705");
}

// The shipped file's examples ("#key = value", "#[table]") with the "#" taken
// away: the keys left out, as written in it.
std::string Uncommented()
{
    std::ifstream in(kShipped);
    const std::regex example("^#(\\[|[a-z_]+ = )");
    std::string text;
    for (std::string line; std::getline(in, line);)
        text += (std::regex_search(line, example) ? line.substr(1) : line) + "\n";
    return text;
}

TEST(SiteConfig, ShippedFileHoldsTheDefaults)
{
    for (const bool examples : {false, true}) {
        SiteConfig config;
        std::string error;
        if (examples) {
            ASSERT_EQ(Load(Uncommented(), config), "");
            config.file = kShipped;
        } else {
            ASSERT_TRUE(LoadSiteConfig(kShipped, config, &error)) << error;
        }
        const SiteConfig defaults;
        EXPECT_EQ(config.file, kShipped);
        EXPECT_TRUE(config.port.starts_with("/dev/serial/by-id/"));
        EXPECT_EQ(config.listen.host, defaults.listen.host);
        EXPECT_EQ(config.listen.port, defaults.listen.port);
        EXPECT_EQ(config.tlsCertificate, defaults.tlsCertificate);
        EXPECT_EQ(config.tlsKey, defaults.tlsKey);
        EXPECT_EQ(config.metricsRequireAuth, defaults.metricsRequireAuth);
        EXPECT_EQ(config.usersFile, defaults.usersFile);
        EXPECT_EQ(config.scheduleFile, defaults.scheduleFile);
        EXPECT_EQ(config.dataDirectory, defaults.dataDirectory);
        const auto added = [](const SiteConfig& c) {
            return std::tie(c.historyDays, c.historyInterval, c.logDays, c.maxSizeMb, c.alarms, c.siteName,
                            c.retryFirst, c.retryMax, c.summaryAfter, c.email.url, c.email.to, c.webhook.url);
        };
        EXPECT_TRUE(added(config) == added(defaults));
    }
}
