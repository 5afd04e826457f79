// Opening network ports where nothing, or nothing useful, answers: every
// such open fails within its bound and leaves the code of an open.

#include "Talvex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int OpenName(const std::string& name)
{
    return OpenCommPath(name.c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr);
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A listening socket on the loopback that never accepts.
class Listener
{
public:
    explicit Listener(int backlog)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(m_fd, backlog) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~Listener()
    {
        for (const int fd : m_clients)
            ::close(fd);
        ::close(m_fd);
    }
    int Port() const { return m_port; }
    // Fills the accept queue, so that the next connection attempt is left
    // unanswered like one to a host that is not there.
    void Fill()
    {
        for (int i = 0; i < 4; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(m_port));
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
            m_clients.push_back(fd);
        }
        ::usleep(100000);
    }

private:
    int m_fd = -1;
    int m_port = -1;
    std::vector<int> m_clients;
};

}  // namespace

TEST(NetworkOpen, RefusedAndMalformedFailAtOnce)
{
    int port = 0;
    {
        const Listener gone(1);
        port = gone.Port();
    }  // closed: nothing listens there any more
    const std::pair<std::string, int> names[] = {
        {"rfc2217://127.0.0.1:" + std::to_string(port), TALVEX_OPEN_CANNOT_CONNECT},
        {"socket://127.0.0.1:" + std::to_string(port), TALVEX_OPEN_CANNOT_CONNECT},
        {"rfc2217://127.0.0.1", TALVEX_OPEN_NO_DEVICE},
        {"socket://127.0.0.1:99999", TALVEX_OPEN_NO_DEVICE}};
    for (const auto& [name, reason] : names) {
        const auto start = Clock::now();
        EXPECT_EQ(OpenName(name), 0) << name;
        EXPECT_EQ(GetLastOpenError(), reason) << name;
        EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY) << name;
        EXPECT_EQ(IsOpen(), 0) << name;
        EXPECT_LT(SecondsSince(start), 0.5) << name;
    }
}

TEST(NetworkOpen, UnansweredConnectionAndSilentServerGiveUpWithinTheirBound)
{
    Listener full(0);
    full.Fill();
    auto start = Clock::now();
    EXPECT_EQ(OpenName("socket://127.0.0.1:" + std::to_string(full.Port())), 0);
    double took = SecondsSince(start);
    EXPECT_GE(took, 1.9);
    EXPECT_LT(took, 3.0) << "the connection attempt is bounded";

    // Accepted by the kernel but no Telnet server behind it: the line
    // settings are never confirmed.
    Listener mute(8);
    start = Clock::now();
    EXPECT_EQ(OpenName("rfc2217://127.0.0.1:" + std::to_string(mute.Port())), 0);
    took = SecondsSince(start);
    EXPECT_GE(took, 1.9);
    EXPECT_LT(took, 3.0) << "the negotiation is bounded";
    EXPECT_EQ(IsOpen(), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
}
