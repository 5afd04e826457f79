#pragma once
// Cuts the byte stream from the client into request frames: 0x01, a count of
// 1 to 3, then that many bytes (command code and parameter). Anything that
// cannot start a frame is skipped, so the parser finds its way back after
// line noise; a partial frame left alone for a while is dropped, so a lost
// byte cannot swallow the next request.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

class FrameParser
{
public:
    using Clock = std::chrono::steady_clock;
    using Bytes = std::vector<std::uint8_t>;

    static constexpr std::chrono::milliseconds kStaleAfter{200};

    // Adds the bytes that arrived at `now`; returns the frames they complete.
    std::vector<Bytes> Feed(const std::uint8_t* data, std::size_t size, Clock::time_point now);
    void Reset();
    std::size_t Discarded() const { return m_discarded; }

private:
    Bytes m_pending;
    Clock::time_point m_lastArrival{};
    std::size_t m_discarded = 0;
};

}  // namespace sim
