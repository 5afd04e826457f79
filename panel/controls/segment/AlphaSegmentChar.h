#pragma once
// Fourteen-segment cell for letters, signs and (on request) digits.

#include "SegmentChar.h"

class CAlphaSegmentChar : public CSegmentChar
{
public:
    CAlphaSegmentChar();
    void SetMaskAndStyle(std::uint16_t mask, std::uint32_t style) override;
};
