#pragma once
// talvexd as a site runs it: the program, started against the simulated
// transmitter with a configuration of its own, and asked over HTTP.

#include "../sim/SimTestSupport.h"
#include "../support/Child.h"
#include "../support/Ser2Net.h"
#include "SimTransmitter.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>

namespace sitetest {

using namespace std::chrono_literals;
using Json = nlohmann::json;

// Request frames with command code `code`.
inline std::size_t CountCode(const std::vector<SimTransmitter::Frame>& frames, int code)
{
    std::size_t count = 0;
    for (const auto& frame : frames) {
        count += frame.size() > 2 && frame[2] == code ? 1 : 0;
    }
    return count;
}

class SiteService : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sim.Start());
        // Frozen readings, so that every cycle reports the same values.
        m_sim.SetReadings({.forwardPower = 98, .reversePower = 2, .swr = 12, .temperature = 47, .level = 300});
        m_port = nettest::FreePort();
    }

    std::string ConfigPath() const { return m_dir.File("talvexd.toml"); }

    // The configuration for `device`, with `extra` lines appended to [http]
    // and `tail` to [data], the last table (either may go on with tables).
    void WriteConfig(const std::string& device, const std::string& extra = "", const std::string& tail = "")
    {
        std::ofstream(ConfigPath()) << "[device]\nport = \"" << device << "\"\n[http]\nlisten = \"127.0.0.1:" << m_port
                                    << "\"\n"
                                    << extra << "[auth]\nusers_file = \"" << m_dir.File("users")
                                    << "\"\n[schedule]\nfile = \"" << m_dir.File("config.xml")
                                    << "\"\n[data]\ndirectory = \"" << m_dir.Path() << "\"\n"
                                    << tail;
    }

    // Runs `talvexd --config ... ARGS` with `input` on its standard input;
    // its exit status, and its output in `output`.
    int RunTalvexd(const std::string& args, const std::string& input = "", std::string* output = nullptr)
    {
        const std::string log = m_dir.File("command.log");
        const std::string command =
            std::string(TALVEXD_PATH) + " --config '" + ConfigPath() + "' " + args + " > '" + log + "' 2>&1";
        FILE* pipe = ::popen(command.c_str(), "w");
        if (!pipe) {
            return -1;
        }
        std::fputs(input.c_str(), pipe);
        const int status = ::pclose(pipe);
        if (output) {
            std::ifstream in(log);
            output->assign(std::istreambuf_iterator<char>(in), {});
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void AddUser(const std::string& name, const std::string& role)
    {
        ASSERT_EQ(RunTalvexd("user add " + name + " --role " + role, "pw-" + name + "\n"), 0);
    }

    // Starts the service on `device` with the three users, and waits until
    // it serves a status with the link up.
    void StartService(const std::string& device, const std::string& extra = "", const std::string& tail = "")
    {
        WriteConfig(device, extra, tail);
        for (const char* role : {"viewer", "operator", "admin"}) {
            AddUser(role, role);
        }
        ASSERT_TRUE(m_service.Start({TALVEXD_PATH, "--config", ConfigPath()}, m_dir.File("talvexd.log")));
        ASSERT_TRUE(WaitForLink("up", 15s)) << Log();
        // The connect's reads are over once a status cycle has ended.
        ASSERT_TRUE(nettest::WaitFor([&] { return !Status()["read_at"].is_null(); }, 10s)) << Log();
    }

    bool WaitForLink(const std::string& state, std::chrono::milliseconds timeout)
    {
        return nettest::WaitFor([&] { return Status().value("link", "") == state; }, timeout);
    }

    httplib::Client Client(const std::string& user = "viewer") const
    {
        httplib::Client client("127.0.0.1", m_port);
        client.set_connection_timeout(2, 0);
        client.set_read_timeout(20, 0);
        if (!user.empty()) {
            client.set_basic_auth(user.c_str(), ("pw-" + user).c_str());
        }
        return client;
    }

    Json Status()
    {
        const auto response = Client().Get("/api/v1/status");
        return response && response->status == 200 ? Json::parse(response->body, nullptr, false) : Json::object();
    }

    // PUT `body` to `path` as `user`; the answer's status (0 without one).
    int Put(const std::string& path, const std::string& body, const std::string& user, Json* answer = nullptr)
    {
        const auto response = Client(user).Put(path, body, "application/json");
        if (answer && response) {
            *answer = Json::parse(response->body, nullptr, false);
        }
        return response ? response->status : 0;
    }

    std::string Log() const
    {
        std::ifstream in(m_dir.File("talvexd.log"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    simtest::TempDir m_dir;
    SimTransmitter m_sim{SimOptions{.linkPath = m_dir.File("ttyTX")}};
    nettest::Child m_service;
    int m_port = 0;
};

}  // namespace sitetest
