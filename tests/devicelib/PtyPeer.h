#pragma once
// The transmitter's side of a pseudo-terminal. The library opens the slave
// by its path; the test reads requests from and writes replies to the
// master. The peer keeps a slave descriptor of its own open, so the master
// never sees a hang-up while the library has the port closed.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class CPtyPeer
{
public:
    using Bytes = std::vector<std::uint8_t>;

    // How the peer leaves the line before the library opens it: raw, or
    // cooked the way a fresh terminal starts (line editing, echo, XON/XOFF,
    // CR/LF translation, output processing, signal characters).
    enum class Line { Raw, Cooked };

    explicit CPtyPeer(Line line = Line::Raw)
    {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
            return;
        }
        m_master = master;
        m_path = ::ptsname(master);
        m_slave = ::open(m_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        if (m_slave < 0 || ::tcgetattr(m_slave, &tio) != 0) {
            ADD_FAILURE() << "cannot open " << m_path;
            return;
        }
        if (line == Line::Raw) {
            ::cfmakeraw(&tio);
        } else {
            tio.c_iflag |= ICRNL | IXON | IXOFF;
            tio.c_oflag |= OPOST | ONLCR;
            tio.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
        }
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }

    ~CPtyPeer()
    {
        CloseMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }

    CPtyPeer(const CPtyPeer&) = delete;
    CPtyPeer& operator=(const CPtyPeer&) = delete;

    const char* Path() const { return m_path.c_str(); }
    int Slave() const { return m_slave; }

    // The library's side hangs up, as when an adapter is unplugged.
    void CloseMaster()
    {
        const int fd = m_master.exchange(-1);
        if (fd >= 0)
            ::close(fd);
    }

    // Up to `count` bytes that arrive on the master within `timeoutMs`.
    Bytes Receive(std::size_t count, int timeoutMs)
    {
        Bytes bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd entry{m_master.load(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
                break;
            std::uint8_t chunk[64];
            const ssize_t n = ::read(entry.fd, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (n <= 0)
                break;
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
        return bytes;
    }

    // Sends `bytes` to the library's side at once.
    void Send(const Bytes& bytes)
    {
        EXPECT_EQ(::write(m_master.load(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // In the background: waits for a request of `requestSize` bytes and
    // answers it with `reply` (nothing when empty). The future, which waits
    // for the answer when it is destroyed, holds the request as received.
    std::future<Bytes> Answer(std::size_t requestSize, Bytes reply)
    {
        return std::async(std::launch::async, [this, requestSize, reply] {
            Bytes request = Receive(requestSize, kRequestWaitMs);
            if (request.size() == requestSize && !reply.empty()) {
                EXPECT_EQ(::write(m_master.load(), reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
            }
            return request;
        });
    }

    // In the background: waits for a request, then hangs up instead.
    std::future<Bytes> HangUpAfter(std::size_t requestSize)
    {
        return std::async(std::launch::async, [this, requestSize] {
            Bytes request = Receive(requestSize, kRequestWaitMs);
            CloseMaster();
            return request;
        });
    }

private:
    static constexpr int kRequestWaitMs = 3000;

    std::atomic<int> m_master{-1};
    int m_slave = -1;
    std::string m_path;
};
