#pragma once
// Helpers shared by the segment display tests.

#include "controls/segment/SegmentChar.h"

#include <cstdint>
#include <memory>
#include <vector>

// A mask word from the list of lit segment numbers.
inline std::uint16_t LitMask(const std::vector<int>& segments)
{
    std::uint16_t mask = 0;
    for (int s : segments) {
        mask = static_cast<std::uint16_t>(mask | (1u << s));
    }
    return mask;
}

inline std::unique_ptr<CSegmentChar> Cell(char ch, std::uint32_t style = 0) { return MakeSegmentChar(ch, style); }
