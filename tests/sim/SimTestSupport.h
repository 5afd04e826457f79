#pragma once
// Helpers for tests that talk to the simulated transmitter: a scratch
// directory for its link, and a bare client that opens the pseudo-terminal
// without configuring it, so tests see exactly the bytes on the line.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

class TempDir
{
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "talvex-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

class RawClient
{
public:
    explicit RawClient(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    bool Write(const Bytes& bytes) const
    {
        return ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Collects bytes until `count` have arrived or `timeout` has passed.
    Bytes Read(std::size_t count, std::chrono::milliseconds timeout) const
    {
        Bytes out;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (out.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            if (!(p.revents & POLLIN))
                break;  // hung up
            std::uint8_t buffer[256];
            const ssize_t r = ::read(m_fd, buffer, std::min(sizeof buffer, count - out.size()));
            if (r <= 0)
                break;
            out.insert(out.end(), buffer, buffer + r);
        }
        return out;
    }
    // One request and its answer, when the answer's length is known.
    Bytes Exchange(const Bytes& request, std::size_t answerLength,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(1000)) const
    {
        if (!Write(request))
            return {};
        return Read(answerLength, timeout);
    }
    // True when the line reports a hang-up within `timeout`.
    bool SeesHangUp(std::chrono::milliseconds timeout) const
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        if (p.revents & (POLLHUP | POLLERR))
            return true;
        std::uint8_t b;
        return ::read(m_fd, &b, 1) <= 0;
    }

private:
    int m_fd = -1;
};

inline Bytes Ok(Bytes data = {})
{
    Bytes out{'O', 'K'};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}
inline const Bytes kRefused{'E', 'R'};

}  // namespace simtest
