#pragma once
// A real ser2net in front of a device, on the loopback: one Telnet
// (RFC 2217) accepter and one raw TCP accepter, from a generated
// configuration. Used by the end-to-end tests and the benchmark to reach the
// simulated transmitter the way a remote site is reached.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

template <typename Pred>
bool WaitFor(Pred done, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class Ser2Net {
public:
    ~Ser2Net() { Stop(); }

    // Starts ser2net in front of `device` (a path it opens at each
    // connection, so a link that moves to a new terminal is followed).
    bool Start(const std::string& dir, const std::string& device, std::string* error)
    {
        m_telnetPort = FreePort();
        m_rawPort = FreePort();
        const std::string config = dir + "/ser2net.yaml";
        {
            std::ofstream out(config);
            out << "connection: &remote-rfc2217\n"
                << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << m_telnetPort << "\n"
                << "  connector: serialdev," << device << ",57600n81,local\n"
                << "connection: &remote-raw\n"
                << "  accepter: tcp,127.0.0.1," << m_rawPort << "\n"
                << "  connector: serialdev," << device << ",57600n81,local\n";
        }
        const std::string log = dir + "/ser2net.log";
        // -n: stay in the foreground; -u: no UUCP lock files.
        std::string args[] = {"ser2net", "-n", "-u", "-c", config};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const int rc = posix_spawnp(&m_pid, "ser2net", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            m_pid = -1;
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

    void Stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        int status = 0;
        const bool ended = WaitFor([&] { return ::waitpid(m_pid, &status, WNOHANG) == m_pid; },
                                   std::chrono::seconds(3));
        if (!ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }

    // True once ser2net holds no descriptor on `device` (a closed
    // connection's device is released a little after the socket).
    bool WaitUntilReleased(const std::string& device, std::chrono::milliseconds timeout) const
    {
        std::error_code ec;
        const auto target = std::filesystem::canonical(device, ec);
        if (ec)
            return true;  // gone: nobody holds it
        const std::string fds = "/proc/" + std::to_string(m_pid) + "/fd";
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
    pid_t m_pid = -1;
    int m_telnetPort = -1;
    int m_rawPort = -1;
};

}  // namespace nettest
