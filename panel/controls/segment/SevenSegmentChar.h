#pragma once
// Seven-segment cell for digits, space and minus.

#include "SegmentChar.h"

class CSevenSegmentChar : public CSegmentChar
{
public:
    CSevenSegmentChar();
    void SetMaskAndStyle(std::uint16_t mask, std::uint32_t style) override;
};
