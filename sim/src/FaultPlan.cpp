#include "FaultPlan.h"

#include <algorithm>

namespace sim {

void FaultPlan::Add(const SimFault& fault) { m_faults.push_back(fault); }

std::optional<SimFault> FaultPlan::Take(int code)
{
    auto pick = m_faults.end();
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->code == code)
            pick = it;
        else if (it->code == kSimAllCommands && (pick == m_faults.end() || pick->code == kSimAllCommands))
            pick = it;
    }
    if (pick == m_faults.end())
        return std::nullopt;
    SimFault fault = *pick;
    if (!fault.persistent)
        m_faults.erase(pick);
    return fault;
}

std::vector<std::uint8_t> ApplyFault(const SimFault& fault, std::vector<std::uint8_t> answer)
{
    switch (fault.kind) {
    case SimFaultKind::ShortAck:
        if (answer.size() >= 2 && answer[0] == 'O' && answer[1] == 'K')
            answer.erase(answer.begin());
        break;
    case SimFaultKind::DropData: {
        const std::size_t drop = std::min(answer.size(), static_cast<std::size_t>(std::max(fault.bytes, 0)));
        answer.resize(answer.size() - drop);
        break;
    }
    case SimFaultKind::ExtraBytes:
        // A refusal, so that a client that does not discard leftovers takes
        // them for the answer to its next request and is caught.
        for (int i = 0; i < fault.bytes; ++i)
            answer.push_back(i % 2 == 0 ? 'E' : 'R');
        break;
    case SimFaultKind::Garbage: {
        static constexpr std::uint8_t kNoise[] = {0xA5, 0x3C, 0x96, 0x0F, 0xF0, 0x69, 0xC3, 0x5A, 0x81};
        const std::size_t length = std::max<std::size_t>(answer.size(), 2);
        answer.clear();
        for (std::size_t i = 0; i < length; ++i)
            answer.push_back(kNoise[i % std::size(kNoise)]);
        break;
    }
    case SimFaultKind::Refuse: answer = {'E', 'R'}; break;
    case SimFaultKind::Silent:
    case SimFaultKind::Delay:
    case SimFaultKind::HangUp: break;
    }
    return answer;
}

}  // namespace sim
