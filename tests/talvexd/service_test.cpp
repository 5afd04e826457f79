// talvexd against the simulated transmitter: what it reads and serves, what
// it sends, the link's losses and returns, accounts, sessions and systemd.

#include "SiteServiceTest.h"

#include "../support/Prometheus.h"

#include "core/ScheduleFile.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

using namespace sitetest;

namespace {

bool HasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// The position of the first frame equal to `frame`, or -1.
long FindFrame(const std::vector<SimTransmitter::Frame>& frames, const SimTransmitter::Frame& frame)
{
    const auto found = std::find(frames.begin(), frames.end(), frame);
    return found == frames.end() ? -1 : static_cast<long>(found - frames.begin());
}

}  // namespace

TEST_F(SiteService, ServesWhatThePollersReadAndNeverSwitchesTheTransmitterOn)
{
    // The keys of `talvexctl --json status`, read before the service holds the port.
    std::string keysJson;
    {
        FILE* pipe =
            ::popen((std::string(TALVEXCTL_PATH) + " --json --port " + m_sim.DevicePath() + " status").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, pipe)) {
            keysJson += buffer;
        }
        ASSERT_EQ(::pclose(pipe), 0) << keysJson;
    }
    StartService(m_sim.LinkPath());
    Json status = Status();
    const Json keys = Json::parse(keysJson);
    for (const auto& [key, value] : keys.items()) {
        EXPECT_TRUE(status.contains(key)) << key;
        EXPECT_EQ(status[key].type(), value.type()) << key;
    }
    EXPECT_EQ(status.size(), keys.size() + 2) << status.dump();
    EXPECT_TRUE(nettest::WaitFor([&] { return !(status = Status())["read_at"].is_null(); }, 5s)) << status.dump();
    EXPECT_EQ(status["transmitter"], "standby");
    EXPECT_EQ(status["frequency_mhz"], 100.0);
    EXPECT_EQ(status["temperature_c"], 47) << "read once at connect, also in standby";
    const auto info = Json::parse(Client().Get("/api/v1/info")->body);
    EXPECT_EQ(info["serial_number"], "20240300001742");
    EXPECT_EQ(info["device_type"], "K2 ");

    // Reads come from the pollers: the serial number was read once, at connect.
    for (int i = 0; i < 20; ++i) {
        for (const char* path : {"/api/v1/status", "/api/v1/info", "/api/v1/protection", "/metrics"}) {
            ASSERT_EQ(Client().Get(path)->status, 200) << path;
        }
    }
    const auto frames = m_sim.ReceivedFrames();
    EXPECT_EQ(CountCode(frames, 0x19), 1u) << "a request read the serial number";
    EXPECT_EQ(CountCode(frames, 0x03), 0u) << "the service started the transmitter up";
    EXPECT_EQ(CountCode(frames, 0x02), 0u) << "the service shut the transmitter down";
}

TEST_F(SiteService, ChangesGoThroughTheCoreInTheirOrderAndReportTheTransmittersRefusal)
{
    StartService(m_sim.LinkPath());
    m_sim.ClearReceived();
    Json answer;
    // Applied in the fixed order, whatever the body's.
    ASSERT_EQ(Put("/api/v1/settings", R"({"power_setting_w": 5.0, "frequency_mhz": 95.5, "echo_on": true})", "operator",
                  &answer),
              200)
        << answer.dump();
    EXPECT_EQ(answer["frequency_mhz"], 95.5);
    EXPECT_EQ(answer["power_setting_w"], 5.0);
    EXPECT_EQ(answer["echo_on"], true);
    auto frames = m_sim.ReceivedFrames();
    const long frequency = FindFrame(frames, {0x01, 0x03, 0x0E, 0x03, 0xBB});
    const long power = FindFrame(frames, {0x01, 0x02, 0x11, 0x32});
    EXPECT_GE(frequency, 0);
    EXPECT_GT(power, frequency);
    EXPECT_EQ(m_sim.State().frequency, 955);
    EXPECT_FALSE(m_sim.State().echoOff);

    // Already so: nothing is sent (a press would undo it).
    m_sim.ClearReceived();
    ASSERT_EQ(Put("/api/v1/settings", R"({"echo_on": true, "transmitter": "standby"})", "operator"), 200);
    EXPECT_EQ(CountCode(m_sim.ReceivedFrames(), 0x09) + CountCode(m_sim.ReceivedFrames(), 0x02), 0u);

    SimFault refuse;
    refuse.kind = SimFaultKind::Refuse;
    refuse.code = 0x0E;
    m_sim.InjectFault(refuse);
    ASSERT_EQ(Put("/api/v1/settings", R"({"frequency_mhz": 99.0, "power_setting_w": 6.0})", "operator", &answer), 502);
    EXPECT_EQ(answer["error"], "Set Freq Fail");
    EXPECT_EQ(answer["code"], TALVEX_E_REFUSED);
    EXPECT_EQ(answer["key"], "frequency_mhz");
    EXPECT_EQ(m_sim.State().power, 50) << "the change after a failure was sent";

    ASSERT_EQ(Put("/api/v1/protection", R"({"temperature_point_c": 60, "swr_point_ratio": 2.5})", "admin", &answer),
              200);
    EXPECT_EQ(answer["swr_point_ratio"], 2.5);
    EXPECT_EQ(m_sim.State().temperaturePoint, 60);
    EXPECT_NE(Log().find("'operator' set frequency_mhz to 99.0: failed, Set Freq Fail (code 1)"), std::string::npos)
        << Log();
}

TEST_F(SiteService, AnswersEveryBadRequestAndSendsNothing)
{
    StartService(m_sim.LinkPath());
    struct Row {
        const char* method;
        const char* path;
        const char* user;  // "" none, "nobody" a wrong password
        std::string body;
        int status;
        const char* says;
    };
    const Row rows[] = {
        {"GET", "/api/v1/status", "", "", 401, "log in first"},
        {"GET", "/api/v1/status", "nobody", "", 401, "wrong user name or password"},
        {"PUT", "/api/v1/settings", "viewer", R"({"frequency_mhz": 95.0})", 403, "needs operator"},
        {"PUT", "/api/v1/protection", "operator", R"({"temperature_point_c": 60})", 403, "needs admin"},
        {"PUT", "/api/v1/schedule", "operator", "{}", 403, "needs admin"},
        {"GET", "/api/v2/status", "viewer", "", 404, "no such resource"},
        {"POST", "/api/v1/status", "viewer", "{}", 405, "allowed: GET"},
        {"PUT", "/api/v1/settings", "operator", std::string(70 * 1024, ' '), 413, "64 KiB"},
        {"PUT", "/api/v1/settings", "operator", "{\"frequency_mhz\": ", 400, "not valid JSON"},
        {"PUT", "/api/v1/settings", "operator", "[1]", 400, "JSON object"},
        {"PUT", "/api/v1/settings", "operator", R"({"volume": 3})", 400, "volume: unknown key"},
        {"PUT", "/api/v1/settings", "operator", R"({"frequency_mhz": 120})", 400,
         "87.0\u2013108.0 MHz in steps of 0.1"},
        {"PUT", "/api/v1/settings", "operator", R"({"frequency_mhz": 95.55})", 400, "in steps of 0.1"},
        {"PUT", "/api/v1/settings", "operator", R"({"frequency_mhz": "95.5"})", 400, "frequency_mhz: must be"},
        {"PUT", "/api/v1/settings", "operator", R"({"power_setting_w": 0.2})", 400, "0.3\u201315.0 W"},
        {"PUT", "/api/v1/settings", "operator", R"({"line_volume_step": 14})", 400, "1\u201313"},
        {"PUT", "/api/v1/settings", "operator", R"({"mic_volume_step": 0})", 400, "1\u201330"},
        {"PUT", "/api/v1/settings", "operator", R"({"echo_on": "yes"})", 400, "true or false"},
        {"PUT", "/api/v1/settings", "operator", R"({"transmitter": "off"})", 400, "transmitter: must be"},
        {"PUT", "/api/v1/settings", "operator", "{}", 400, "no setting given"},
        {"PUT", "/api/v1/protection", "admin", R"({"swr_point_ratio": 4.5})", 400, "2.0\u20134.0"},
        {"PUT", "/api/v1/schedule", "admin", R"({"rows": []})", 400, "five rows"},
        {"PUT", "/api/v1/schedule", "admin",
         R"({"rows": [{"date": "2026-02-30", "time": "06:00:00", "operation": "start_up"}, {}, {}, {}, {}]})", 400,
         "rows[0].date"},
        {"GET", "/api/v1/log?limit=0", "viewer", "", 400, "limit: must be a whole number from 1 to 1000"},
        {"GET", "/api/v1/log?kind=link&since=today", "viewer", "", 400, "since: must be an RFC 3339 time"},
        {"GET", "/api/v1/history?reading=power", "viewer", "", 400, "reading: must be one of forward_power_w"},
        {"GET", "/api/v1/history?reading=swr_ratio&step=1", "viewer", "", 400, "step: gives 86400 points"},
    };
    m_sim.ClearReceived();
    for (const Row& row : rows) {
        httplib::Client client = Client(std::string(row.user) == "nobody" ? "" : row.user);
        if (std::string(row.user) == "nobody") {
            client.set_basic_auth("viewer", "not-the-password");
        }
        const auto response = client.send([&] {
            httplib::Request request;
            request.method = row.method;
            request.path = row.path;
            request.body = row.body;
            request.set_header("Content-Type", "application/json");
            return request;
        }());
        ASSERT_TRUE(response) << row.method << " " << row.path;
        EXPECT_EQ(response->status, row.status) << row.method << " " << row.path << " " << row.body.substr(0, 80);
        EXPECT_NE(response->body.find(row.says), std::string::npos) << response->body;
        EXPECT_EQ(response->get_header_value("Content-Type"), "application/json") << row.path;
    }
    for (const int code : {0x0E, 0x11, 0x0F, 0x10, 0x12, 0x13}) {
        EXPECT_EQ(CountCode(m_sim.ReceivedFrames(), code), 0u) << "a refused request sent command " << code;
    }
    EXPECT_TRUE(m_service.Running());
    EXPECT_EQ(Status()["link"], "up");
}

TEST_F(SiteService, SessionCookiesChangeThingsOnlyFromTheServicesOwnOrigin)
{
    StartService(m_sim.LinkPath());
    httplib::Client anonymous = Client("");
    const auto login =
        anonymous.Post("/api/v1/session", R"({"user": "operator", "password": "pw-operator"})", "application/json");
    ASSERT_TRUE(login);
    ASSERT_EQ(login->status, 200) << login->body;
    EXPECT_EQ(Json::parse(login->body)["role"], "operator");
    const std::string setCookie = login->get_header_value("Set-Cookie");
    EXPECT_NE(setCookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(setCookie.find("SameSite=Strict"), std::string::npos);
    const std::string cookie = setCookie.substr(0, setCookie.find(';'));
    const std::string own = "http://127.0.0.1:" + std::to_string(m_port);

    const auto put = [&](const std::string& origin) {
        httplib::Headers headers{{"Cookie", cookie}};
        if (!origin.empty()) {
            headers.emplace("Origin", origin);
        }
        const auto response =
            anonymous.Put("/api/v1/settings", headers, R"({"mic_volume_step": 20})", "application/json");
        return response ? response->status : 0;
    };
    EXPECT_EQ(put(""), 403);
    EXPECT_EQ(put("http://evil.example"), 403);
    EXPECT_EQ(m_sim.State().micVolume, 15);
    EXPECT_EQ(put(own), 200);
    EXPECT_EQ(m_sim.State().micVolume, 20);

    const httplib::Headers withCookie{{"Cookie", cookie}, {"Origin", own}};
    EXPECT_EQ(anonymous.Get("/api/v1/status", withCookie)->status, 200);
    EXPECT_EQ(anonymous.Delete("/api/v1/session", withCookie)->status, 204);
    EXPECT_EQ(anonymous.Get("/api/v1/status", withCookie)->status, 401);
    EXPECT_NE(Log().find("login: 'operator' from 127.0.0.1 (session)"), std::string::npos) << Log();
}

TEST_F(SiteService, FiveFailedLoginsShutTheAddressOut)
{
    StartService(m_sim.LinkPath(), "metrics_require_auth = true\n");
    EXPECT_EQ(Client("").Get("/metrics")->status, 401);
    EXPECT_EQ(Client("viewer").Get("/metrics")->status, 200);
    httplib::Client wrong = Client("");
    wrong.set_basic_auth("admin", "guess");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(wrong.Get("/api/v1/status")->status, 401);
    }
    EXPECT_EQ(Client("admin").Get("/api/v1/status")->status, 429) << "the right password, from a shut-out address";
    const auto login =
        Client("").Post("/api/v1/session", R"({"user": "admin", "password": "pw-admin"})", "application/json");
    EXPECT_EQ(login->status, 429);
    EXPECT_NE(Log().find("login failed for 'admin' from 127.0.0.1 (Basic)"), std::string::npos) << Log();
    EXPECT_EQ(Log().find("guess"), std::string::npos) << "a password reached the log";
}

TEST_F(SiteService, WithACertificateItSpeaksHttpsOnly)
{
    const std::string cert = m_dir.File("cert.pem");
    const std::string key = m_dir.File("key.pem");
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout '" + key +
                           "' -out '" + cert + "' 2> /dev/null")
                              .c_str()),
              0);
    WriteConfig(m_sim.LinkPath(), "tls_certificate = \"" + cert + "\"\ntls_key = \"" + key + "\"\n");
    AddUser("operator", "operator");
    ASSERT_TRUE(m_service.Start({TALVEXD_PATH, "--config", ConfigPath()}, m_dir.File("talvexd.log")));
    httplib::SSLClient tls("127.0.0.1", m_port);
    tls.enable_server_certificate_verification(false);
    const auto login = [&] {
        return tls.Post("/api/v1/session", R"({"user": "operator", "password": "pw-operator"})", "application/json");
    };
    ASSERT_TRUE(nettest::WaitFor([&] { return static_cast<bool>(login()); }, 10s)) << Log();
    const auto answer = login();
    EXPECT_EQ(answer->status, 200);
    EXPECT_NE(answer->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
    EXPECT_FALSE(Client().Get("/api/v1/status")) << "plain HTTP was answered";
}

TEST_F(SiteService, AHangUpTakesTheLinkDownAndTheReturningPortIsUsedWithinTwoSeconds)
{
    StartService(m_sim.LinkPath());
    const unsigned generation = m_sim.LineGeneration();
    // The line and its by-id style name are gone for three seconds, as an
    // adapter pulled out and put back.
    m_sim.HangUp(3s);
    ASSERT_TRUE(WaitForLink("down", 3s)) << Log();
    const Json down = Status();
    EXPECT_EQ(Put("/api/v1/settings", R"({"frequency_mhz": 95.0})", "operator"), 503);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Status()["read_at"], down["read_at"]) << "a reading was served as current while down";

    ASSERT_TRUE(m_sim.WaitForLine(generation + 1, 10s));
    const auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitForLink("up", 5s)) << Log();
    // Two seconds between attempts, and a slow machine's margin for the probe.
    EXPECT_LE(std::chrono::steady_clock::now() - back, 3s) << "the returned port waited too long";
    EXPECT_TRUE(nettest::WaitFor([&] { return Status()["read_at"] != down["read_at"]; }, 3s));
    EXPECT_NE(Log().find("link down: the port is gone"), std::string::npos) << Log();
}

TEST_F(SiteService, ThreeFailedExchangesInARowTakeTheLinkDown)
{
    StartService(m_sim.LinkPath());
    SimFault silent;
    silent.kind = SimFaultKind::Silent;
    silent.persistent = true;
    m_sim.InjectFault(silent);
    ASSERT_TRUE(WaitForLink("down", 10s)) << Log();
    EXPECT_NE(Log().find("3 failed exchanges in a row"), std::string::npos) << Log();
    m_sim.ClearFaults();
    EXPECT_TRUE(WaitForLink("up", 5s)) << Log();
}

TEST_F(SiteService, TellsSystemdWhenItIsReadyAndPingsItsWatchdog)
{
    const std::string socketPath = m_dir.File("notify");
    const int listener = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const timeval wait{1, 0};
    ::setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setenv("NOTIFY_SOCKET", socketPath.c_str(), 1);
    ::setenv("WATCHDOG_USEC", "400000", 1);
    StartService(m_sim.LinkPath());
    ::unsetenv("NOTIFY_SOCKET");
    ::unsetenv("WATCHDOG_USEC");

    std::vector<std::string> messages;
    for (int i = 0; i < 20 && messages.size() < 4; ++i) {
        char text[512];
        const ssize_t size = ::recv(listener, text, sizeof text, 0);
        if (size > 0) {
            messages.emplace_back(text, static_cast<std::size_t>(size));
        }
    }
    ::close(listener);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0].rfind("READY=1", 0), 0u) << ::testing::PrintToString(messages);
    EXPECT_NE(std::find(messages.begin(), messages.end(), "WATCHDOG=1"), messages.end());
}

TEST_F(SiteService, TheEventStreamCarriesStatusLevelAndLink)
{
    StartService(m_sim.LinkPath());
    std::string stream;
    httplib::Client client = Client();
    client.set_read_timeout(5, 0);
    client.Get("/api/v1/events", [&](const char* data, std::size_t size) {
        stream.append(data, size);
        // Enough once the first of each has come, and the level moved on.
        return !(stream.find("event: status") != std::string::npos && stream.find("event: link") != std::string::npos &&
                 stream.find("event: level") != stream.rfind("event: level"));
    });
    EXPECT_NE(stream.find("event: link\ndata: {\"link\":\"up\"}"), std::string::npos) << stream;
    EXPECT_NE(stream.find("event: status\ndata: {\"transmitter\":\"standby\""), std::string::npos) << stream;
    EXPECT_NE(stream.find("event: level\ndata: {\"audio_level_raw\":300"), std::string::npos) << stream;
}

TEST_F(SiteService, MetricsShowTheReadingsAndCountFailuresByCode)
{
    SimState on;
    on.standby = false;
    m_sim.SetState(on);
    StartService(m_sim.LinkPath());
    SimFault refuse;
    refuse.kind = SimFaultKind::Refuse;
    refuse.code = 0x17;  // the temperature reading, last of a cycle
    m_sim.InjectFault(refuse);
    m_sim.InjectFault(refuse);
    std::string text;
    ASSERT_TRUE(nettest::WaitFor(
        [&] {
            text = nettest::HttpGet(m_port, "/metrics");
            return text.find("talvex_exchange_failures_total{code=\"1\"} 2") != std::string::npos;
        },
        10s))
        << text;
    for (const char* line :
         {"talvex_up 1", "talvex_frequency_hertz 100000000", "talvex_forward_power_watts 9.8", "talvex_swr_ratio 1.2",
          "talvex_audio_level 300", "talvex_transmitting 1", "talvex_build_info{program=\"talvexd\",version=\"1.0\"} 1",
          "talvex_data_disk_full 0", "talvex_data_write_failures_total 0"}) {
        EXPECT_TRUE(HasLine(text, line)) << line << "\n" << text;
    }
    EXPECT_NE(text.find("talvex_last_reading_timestamp_seconds "), std::string::npos) << text;
}

TEST_F(SiteService, PrometheusScrapesItThroughSer2Net)
{
    nettest::Ser2Net ser2net;
    std::string error;
    ASSERT_TRUE(ser2net.Start(m_dir.Path(), m_sim.LinkPath(), &error)) << error;
    StartService(ser2net.TelnetUrl(), "metrics_require_auth = false\n");
    nettest::Prometheus prometheus;
    ASSERT_TRUE(prometheus.Start(m_dir.Path(), "talvex", m_port)) << "is the prometheus package installed?";
    std::string frequency;
    const bool found = nettest::WaitFor(
        [&] {
            frequency = prometheus.Query("talvex_frequency_hertz");
            return frequency.find(",\"100000000\"]") != std::string::npos;
        },
        30s);
    EXPECT_TRUE(found) << frequency << "\nsee " << m_dir.Path();
    EXPECT_NE(prometheus.Query("up").find("\"job\":\"talvex\""), std::string::npos);
}

TEST_F(SiteService, TheScheduleIsThePanelsFileAndFiresHeadless)
{
    SimState on;
    on.standby = false;
    m_sim.SetState(on);
    StartService(m_sim.LinkPath());
    // Row 1 shuts down in twelve seconds, local time, as the dialog would set it.
    const std::time_t due = std::time(nullptr) + 12;
    std::tm local{};
    localtime_r(&due, &local);
    char date[16];
    char time[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    const std::string nothing = R"({"date": "2026-01-01", "time": "00:00:00", "operation": "nothing"})";
    const std::string rows = std::string(R"({"rows": [{"date": ")") + date + R"(", "time": ")" + time +
                             R"(", "operation": "shut_down"}, )" + nothing + ", " + nothing +
                             R"(, {"time": "06:30:00", "operation": "start_up"}, )" + nothing + "]}";
    Json answer;
    ASSERT_EQ(Put("/api/v1/schedule", rows, "admin", &answer), 200) << answer.dump();
    EXPECT_EQ(answer["rows"][0]["operation"], "shut_down");
    EXPECT_EQ(answer["rows"][3]["time"], "06:30:00");

    TaskRecords records;
    ASSERT_TRUE(ReadScheduleFile(m_dir.File("config.xml").c_str(), records));
    EXPECT_EQ(records[0].opt, TASK_SHUTDOWN);
    EXPECT_EQ(records[0].hour * 3600 + records[0].minute * 60 + records[0].second,
              local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec);
    EXPECT_EQ(records[3].opt, TASK_STARTUP);

    EXPECT_TRUE(WaitForLink("up", 1s));
    EXPECT_TRUE(nettest::WaitFor([&] { return Status()["transmitter"] == "standby"; }, 25s)) << Log();
    EXPECT_EQ(CountCode(m_sim.ReceivedFrames(), 0x02), 1u);
    EXPECT_NE(Log().find("schedule: shut-down done"), std::string::npos) << Log();

    // A file that can no longer be written: the rows run from memory, and the client is told.
    std::filesystem::remove(m_dir.File("config.xml"));
    std::filesystem::create_directory(m_dir.File("config.xml"));
    EXPECT_EQ(Put("/api/v1/schedule", rows, "admin", &answer), 500) << answer.dump();
}

TEST_F(SiteService, BadConfigurationsStopTheStartWithTheirLine)
{
    std::string output;
    EXPECT_EQ(RunTalvexd("", "", &output), 2);
    EXPECT_NE(output.find(ConfigPath()), std::string::npos) << output;
    WriteConfig("COM3");
    EXPECT_EQ(RunTalvexd("", "", &output), 2);
    EXPECT_NE(output.find(ConfigPath() + ":2: device.port:"), std::string::npos) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;

    WriteConfig(m_sim.LinkPath());
    AddUser("alice", "operator");
    EXPECT_EQ(RunTalvexd("user list", "", &output), 0);
    EXPECT_EQ(output, "alice operator\n");
    EXPECT_EQ(std::filesystem::status(m_dir.File("users")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
