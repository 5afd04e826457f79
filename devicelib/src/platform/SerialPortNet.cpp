// Network backend of CSerialPort, over POSIX sockets: a terminal server's
// port reached as "rfc2217://host:port" (Telnet with the com-port option:
// the line settings are negotiated, data is escaped) or "socket://host:port"
// (raw TCP: the server's own line settings apply). Every wait is a poll()
// against a deadline, as on a local port; the socket calls are kept to a
// few small functions so that a Winsock variant can follow this file.
//
// A closed connection is the network's hang-up: the call that meets it
// fails, and so does every later one until the port is opened again.

#include "PosixPoll.h"
#include "SerialPort.h"
#include "Telnet.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <deque>
#include <limits>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace talvex {

namespace {

using Clock = posix::Clock;

// Connecting gives up after this long, whatever the address: an unreachable
// host must not hold the open for the system's minutes-long TCP time-out.
constexpr int kConnectMs = 2000;
// The server has this long to confirm the line settings.
constexpr int kConfigureMs = 2000;

// Com-port replies kept between two purges.
constexpr std::size_t kMaxReplies = 64;

enum class Wait { Ready, TimedOut, Failed };

Wait PollUntil(int fd, short events, Clock::time_point deadline)
{
    const int revents = posix::PollEvents(fd, events, deadline);
    if (revents < 0)
        return Wait::Failed;
    if (revents == 0)
        return Wait::TimedOut;
    // A peer that closed makes the socket readable; the receive that
    // follows sees the end. Only a socket error fails the wait itself.
    if ((revents & events) != 0)
        return Wait::Ready;
    return (revents & (POLLERR | POLLNVAL | POLLHUP)) != 0 ? Wait::Failed : Wait::Ready;
}

// Connects a non-blocking socket to one of the host's addresses before
// `deadline`; -1 when none answers in time, with `reason` saying whether
// the name could not be resolved or no address took the connection.
int Connect(const NetAddress& address, Clock::time_point deadline, int& reason)
{
    reason = TALVEX_OPEN_HOST_NOT_FOUND;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found) != 0 || found == nullptr)
        return -1;
    reason = TALVEX_OPEN_CANNOT_CONNECT;
    int connected = -1;
    for (addrinfo* ai = found; ai != nullptr && connected < 0 && Clock::now() < deadline; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
            continue;
        int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
        if (rc != 0 && errno == EINPROGRESS && PollUntil(fd, POLLOUT, deadline) == Wait::Ready) {
            int error = 0;
            socklen_t length = sizeof error;
            rc = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 ? 0 : -1;
        }
        if (rc == 0)
            connected = fd;
        else
            ::close(fd);
    }
    ::freeaddrinfo(found);
    if (connected >= 0) {
        // Requests are a few bytes each and wait for their answer: send at once.
        const int one = 1;
        ::setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    return connected;
}

class CNetworkPort final : public CSerialPort
{
public:
    ~CNetworkPort() override { Close(); }

    bool Open(const char* device) override;
    bool Configure(const LineSettings& settings) override;
    bool Close() override;
    bool IsOpen() const override { return m_fd >= 0; }
    void Purge() override;
    IoResult Write(const std::uint8_t* data, std::size_t size, int guardMs) override;
    IoStatus WaitForInput(int timeoutMs) override;
    IoResult Read(std::uint8_t* data, std::size_t size, int guardMs) override;

private:
    enum class Receive { Some, None, Closed };

    // Sends all of `bytes` before `deadline`; the count sent.
    std::size_t SendRaw(const std::uint8_t* bytes, std::size_t size, Clock::time_point deadline, bool& failed);
    bool SendControl(const telnet::Bytes& bytes);
    // Takes in what the socket holds without waiting.
    Receive ReceiveQueued();
    // Waits for line data until `deadline`.
    Wait AwaitData(Clock::time_point deadline);

    int m_fd = -1;
    bool m_telnet = false;
    bool m_closed = false;  // the peer ended the connection, or it broke
    TalvexCommTimeouts m_timeouts = kDefaultTimeouts;
    std::deque<std::uint8_t> m_data;  // line data received, not yet read
    telnet::CNegotiator m_negotiator;
    telnet::CDecoder m_decoder{m_negotiator};
    std::vector<telnet::ComPortReply> m_replies;
};

bool CNetworkPort::Open(const char* device)
{
    if (IsOpen())
        Close();
    const auto address = ParseNetAddress(device);
    if (!address) {
        SetOpenFailure(TALVEX_OPEN_NO_DEVICE);
        return false;
    }
    int reason = TALVEX_OPEN_OTHER;
    const int fd = Connect(*address, Clock::now() + std::chrono::milliseconds(kConnectMs), reason);
    if (fd < 0) {
        SetOpenFailure(reason);
        return false;
    }
    m_fd = fd;
    m_telnet = address->telnet;
    m_closed = false;
    m_timeouts = kDefaultTimeouts;
    m_data.clear();
    m_replies.clear();
    m_negotiator = telnet::CNegotiator();
    m_decoder.Reset();
    if (m_telnet && !SendControl(m_negotiator.Greeting())) {
        Close();
        SetOpenFailure(TALVEX_OPEN_CANNOT_CONNECT);
        return false;
    }
    SetOpenFailure(TALVEX_OPEN_OK);
    return true;
}

bool CNetworkPort::Configure(const LineSettings& settings)
{
    if (!IsOpen())
        return false;
    if (m_telnet) {
        using namespace telnet;
        const auto parity = ParityValue(settings.parity);
        const auto stopSize = StopSizeValue(settings.stopBits);
        if (settings.baud <= 0 || settings.dataBits < 5 || settings.dataBits > 8 || !parity || !stopSize)
            return false;
        const std::uint8_t dataSize = static_cast<std::uint8_t>(settings.dataBits);
        const auto baud = static_cast<std::uint32_t>(settings.baud);
        const Bytes baudValue = {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                                 static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
        struct Wanted {
            std::uint8_t command;
            Bytes value;
            bool confirmed;
        };
        Wanted wanted[] = {{kSetBaudRate, baudValue, false},
                           {kSetDataSize, {dataSize}, false},
                           {kSetParity, {*parity}, false},
                           {kSetStopSize, {*stopSize}, false}};
        Bytes requests;
        for (const Wanted& w : wanted) {
            const Bytes request = ComPortRequest(w.command, w.value);
            requests.insert(requests.end(), request.begin(), request.end());
        }
        if (!SendControl(requests))
            return false;
        // The server answers each with the setting now in force; a setting
        // it could not make comes back different, and the open fails.
        m_replies.clear();
        const auto deadline = Clock::now() + std::chrono::milliseconds(kConfigureMs);
        for (;;) {
            for (const ComPortReply& reply : m_replies) {
                for (Wanted& w : wanted) {
                    if (reply.command != w.command)
                        continue;
                    if (reply.value != w.value)
                        return false;
                    w.confirmed = true;
                }
            }
            m_replies.clear();
            if (std::all_of(std::begin(wanted), std::end(wanted), [](const Wanted& w) { return w.confirmed; }))
                break;
            if (m_negotiator.ComPortRefused() || m_closed)
                return false;
            if (ReceiveQueued() == Receive::None && PollUntil(m_fd, POLLIN, deadline) != Wait::Ready)
                return false;
        }
    }
    m_timeouts = settings.timeouts.value_or(kDefaultTimeouts);
    return true;
}

bool CNetworkPort::Close()
{
    if (!IsOpen())
        return false;
    const int fd = m_fd;
    m_fd = -1;
    m_data.clear();
    m_replies.clear();
    return ::close(fd) == 0 || errno == EINTR;
}

void CNetworkPort::Purge()
{
    if (!IsOpen())
        return;
    // The server drops what its line buffers hold; what already crossed the
    // network sits in our socket and is dropped here.
    if (m_telnet) {
        const std::uint8_t both = telnet::kPurgeBoth;
        SendControl(telnet::ComPortRequest(telnet::kPurgeData, {&both, 1}));
    }
    ReceiveQueued();
    m_data.clear();
    m_replies.clear();
}

std::size_t CNetworkPort::SendRaw(const std::uint8_t* bytes, std::size_t size, Clock::time_point deadline, bool& failed)
{
    failed = false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(m_fd, bytes + done, size - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            m_closed = true;
            failed = true;
            return done;
        }
        const Wait wait = PollUntil(m_fd, POLLOUT, deadline);
        if (wait == Wait::Failed) {
            m_closed = true;
            failed = true;
            return done;
        }
        if (wait == Wait::TimedOut)
            return done;
    }
    return done;
}

bool CNetworkPort::SendControl(const telnet::Bytes& bytes)
{
    bool failed = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kConfigureMs);
    return SendRaw(bytes.data(), bytes.size(), deadline, failed) == bytes.size();
}

CNetworkPort::Receive CNetworkPort::ReceiveQueued()
{
    if (m_closed)
        return Receive::Closed;
    Receive outcome = Receive::None;
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            outcome = Receive::Some;
            if (!m_telnet) {
                m_data.insert(m_data.end(), buffer, buffer + n);
                continue;
            }
            telnet::CDecoder::Output out;
            m_decoder.Feed({buffer, static_cast<std::size_t>(n)}, out);
            m_data.insert(m_data.end(), out.data.begin(), out.data.end());
            // Only Configure() reads the replies, and every purge drops
            // them; a server that floods them cannot make the list grow.
            if (m_replies.size() < kMaxReplies)
                m_replies.insert(m_replies.end(), out.replies.begin(), out.replies.end());
            if (!out.answers.empty())
                SendControl(out.answers);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return outcome;
        m_closed = true;  // the end of the stream, or a broken connection
        return Receive::Closed;
    }
}

Wait CNetworkPort::AwaitData(Clock::time_point deadline)
{
    for (;;) {
        if (!m_data.empty())
            return Wait::Ready;
        if (ReceiveQueued() == Receive::Closed)
            return Wait::Failed;
        if (!m_data.empty())
            return Wait::Ready;
        // Telnet commands alone wake the poll without bringing data: go on.
        const Wait wait = PollUntil(m_fd, POLLIN, deadline);
        if (wait != Wait::Ready)
            return wait;
    }
}

IoResult CNetworkPort::Write(const std::uint8_t* data, std::size_t size, int guardMs)
{
    if (!IsOpen() || m_closed)
        return {};
    const auto start = Clock::now();
    const auto guard = start + std::chrono::milliseconds(guardMs);
    const std::uint64_t writeLimit =
        std::uint64_t{m_timeouts.writeTotalTimeoutMultiplier} * size + m_timeouts.writeTotalTimeoutConstant;
    const auto limit = writeLimit == 0 ? guard : std::min(guard, start + std::chrono::milliseconds(writeLimit));

    telnet::Bytes wire;
    if (m_telnet)
        telnet::AppendEscaped({data, size}, wire);
    else
        wire.assign(data, data + size);
    bool failed = false;
    const std::size_t sent = SendRaw(wire.data(), wire.size(), limit, failed);
    // Count the caller's bytes that went out whole.
    std::size_t done = 0;
    for (std::size_t wireAt = 0; done < size; ++done) {
        wireAt += (m_telnet && data[done] == telnet::kIac) ? 2 : 1;
        if (wireAt > sent)
            break;
    }
    if (failed)
        return {IoStatus::Failed, done};
    if (done < size && limit == guard)
        return {IoStatus::TimedOut, done};
    return {IoStatus::Ok, done};
}

IoStatus CNetworkPort::WaitForInput(int timeoutMs)
{
    if (!IsOpen())
        return IoStatus::Failed;
    switch (AwaitData(Clock::now() + std::chrono::milliseconds(timeoutMs))) {
    case Wait::Ready: return IoStatus::Ok;
    case Wait::TimedOut: return IoStatus::TimedOut;
    case Wait::Failed: break;
    }
    return IoStatus::Failed;
}

IoResult CNetworkPort::Read(std::uint8_t* data, std::size_t size, int guardMs)
{
    if (!IsOpen())
        return {};
    posix::CReadDeadlines deadlines(m_timeouts, size, guardMs);
    std::size_t done = 0;
    while (done < size) {
        if (!m_data.empty()) {
            const std::size_t n = std::min(size - done, m_data.size());
            std::copy_n(m_data.begin(), n, data + done);
            m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(n));
            done += n;
            deadlines.BytesArrived();
            continue;
        }
        const Receive received = ReceiveQueued();
        if (received == Receive::Closed)
            return {IoStatus::Failed, done};
        if (!m_data.empty())
            continue;
        if (deadlines.AtOnce())
            break;
        const Wait wait = AwaitData(deadlines.WaitUntil(done > 0));
        if (wait == Wait::Failed)
            return {IoStatus::Failed, done};
        if (wait == Wait::Ready)
            continue;
        if (deadlines.GuardRanOut())
            return {IoStatus::TimedOut, done};
        break;
    }
    return {IoStatus::Ok, done};
}

}  // namespace

std::unique_ptr<CSerialPort> CreateNetworkPort() { return std::make_unique<CNetworkPort>(); }

}  // namespace talvex
