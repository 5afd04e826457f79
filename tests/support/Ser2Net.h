#pragma once
// A real ser2net in front of a device, on the loopback: one Telnet
// (RFC 2217) accepter and one raw TCP accepter, from a generated
// configuration. Used by the end-to-end tests and the benchmark to reach the
// simulated transmitter the way a remote site is reached.

#include "Child.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nettest {

// A TCP port on 127.0.0.1 that was free a moment ago.
inline int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

// True when something listens on 127.0.0.1:`port` (read from the kernel's
// table, so that checking opens no connection and with it no device).
inline bool Listening(int port)
{
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A")
            return true;
    }
    return false;
}

class Ser2Net
{
public:
    // `charDelay`: keep ser2net's default of holding bytes from the line
    // for a moment to send them in fewer packets; off, as docs/REMOTE.md
    // recommends, every byte goes out at once.
    explicit Ser2Net(bool charDelay = false) : m_charDelay(charDelay) {}

    // Starts ser2net in front of `device` (a path it opens at each
    // connection, so a link that moves to a new terminal is followed).
    bool Start(const std::string& dir, const std::string& device, std::string* error)
    {
        // A port found free can be taken by a test running beside this one
        // before ser2net binds it: then try other ports.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (StartOnce(dir, device, error))
                return true;
        }
        return false;
    }

    void Stop() { m_process.Stop(); }

private:
    bool StartOnce(const std::string& dir, const std::string& device, std::string* error)
    {
        m_telnetPort = FreePort();
        m_rawPort = FreePort();
        const std::string config = dir + "/ser2net.yaml";
        {
            const std::string options = m_charDelay ? "" : "  options:\n    chardelay: false\n";
            std::ofstream out(config);
            out << "connection: &remote-rfc2217\n"
                << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << m_telnetPort << "\n"
                << "  connector: serialdev," << device << ",57600n81,local\n"
                << options << "connection: &remote-raw\n"
                << "  accepter: tcp,127.0.0.1," << m_rawPort << "\n"
                << "  connector: serialdev," << device << ",57600n81,local\n"
                << options;
        }
        const std::string log = dir + "/ser2net.log";
        // -n: stay in the foreground; -u: no UUCP lock files.
        if (!m_process.Start({"ser2net", "-n", "-u", "-c", config}, log)) {
            if (error)
                *error = "cannot start ser2net (is the package installed?)";
            return false;
        }
        if (!WaitFor([&] { return Listening(m_telnetPort) && Listening(m_rawPort); }, std::chrono::seconds(5))) {
            if (error)
                *error = "ser2net did not listen within 5 s; see " + log;
            Stop();
            return false;
        }
        return true;
    }

public:
    // True once ser2net holds no descriptor on `device` (a closed
    // connection's device is released a little after the socket).
    bool WaitUntilReleased(const std::string& device, std::chrono::milliseconds timeout) const
    {
        std::error_code ec;
        const auto target = std::filesystem::canonical(device, ec);
        if (ec)
            return true;  // gone: nobody holds it
        const std::string fds = "/proc/" + std::to_string(m_process.Pid()) + "/fd";
        return WaitFor(
            [&] {
                std::error_code walk;
                for (const auto& entry : std::filesystem::directory_iterator(fds, walk)) {
                    std::error_code link;
                    if (std::filesystem::read_symlink(entry.path(), link) == target)
                        return false;
                }
                return true;
            },
            timeout);
    }

    std::string TelnetUrl() const { return "rfc2217://127.0.0.1:" + std::to_string(m_telnetPort); }
    std::string RawUrl() const { return "socket://127.0.0.1:" + std::to_string(m_rawPort); }

private:
    bool m_charDelay = false;
    Child m_process;
    int m_telnetPort = -1;
    int m_rawPort = -1;
};

}  // namespace nettest
