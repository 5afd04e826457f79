#include "FrameParser.h"

namespace sim {

namespace {
constexpr std::uint8_t kLead = 0x01;
constexpr std::uint8_t kMinCount = 1;
constexpr std::uint8_t kMaxCount = 3;
}  // namespace

std::vector<FrameParser::Bytes> FrameParser::Feed(const std::uint8_t* data, std::size_t size, Clock::time_point now)
{
    if (!m_pending.empty() && now - m_lastArrival > kStaleAfter) {
        m_discarded += m_pending.size();
        m_pending.clear();
    }
    m_lastArrival = now;
    m_pending.insert(m_pending.end(), data, data + size);

    std::vector<Bytes> frames;
    std::size_t pos = 0;
    while (pos < m_pending.size()) {
        if (m_pending[pos] != kLead) {
            ++pos;
            ++m_discarded;
            continue;
        }
        if (pos + 1 >= m_pending.size())
            break;
        const std::uint8_t count = m_pending[pos + 1];
        if (count < kMinCount || count > kMaxCount) {
            ++pos;
            ++m_discarded;
            continue;
        }
        const std::size_t end = pos + 2 + count;
        if (end > m_pending.size())
            break;
        frames.emplace_back(m_pending.begin() + static_cast<std::ptrdiff_t>(pos),
                            m_pending.begin() + static_cast<std::ptrdiff_t>(end));
        pos = end;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(pos));
    return frames;
}

void FrameParser::Reset() { m_pending.clear(); }

}  // namespace sim
