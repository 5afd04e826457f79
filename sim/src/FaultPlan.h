#pragma once
// The faults waiting to be committed, and what each does to an answer.

#include "SimFault.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

class FaultPlan
{
public:
    void Add(const SimFault& fault);
    void Clear() { m_faults.clear(); }
    bool Empty() const { return m_faults.empty(); }

    // The fault to commit for a request with this code, if any. A fault for
    // this very code wins over one for all commands; among equals the newest
    // wins. A one-shot fault is used up here.
    std::optional<SimFault> Take(int code);

private:
    std::vector<SimFault> m_faults;
};

// Rewrites a well-formed answer ("OK"/"ER" and data) as the fault would have
// the transmitter send it. Kinds that do not alter bytes return it unchanged.
std::vector<std::uint8_t> ApplyFault(const SimFault& fault, std::vector<std::uint8_t> answer);

}  // namespace sim
