// talvexd.toml read from real files: every mistake named by file, line and
// key, a file with every key, and the file the package ships.

#include "sim/SimTestSupport.h"
#include "talvexd/config/SiteConfig.h"

#include <gtest/gtest.h>

#include <fstream>

using talvexd::LoadSiteConfig;
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
        {kPort + "[alarms]\n", "x.toml:3: alarms: unknown table"},
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
    const std::string text = "[device]\nport = \"socket://[::1]:2000\"\n"
                             "[http]\nlisten = \"[::]:8443\"\nmetrics_require_auth = true\n"
                             "tls_certificate = \"" +
                             kShipped + "\"\ntls_key = \"" + kShipped +
                             "\"\n"
                             "[auth]\nusers_file = \"/srv/users\"\n"
                             "[schedule]\nfile = \"/srv/config.xml\"\n"
                             "[data]\ndirectory = \"/srv\"\n";
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
}

TEST(SiteConfig, ShippedFileHoldsTheDefaults)
{
    SiteConfig config;
    std::string error;
    ASSERT_TRUE(LoadSiteConfig(kShipped, config, &error)) << error;
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
}
