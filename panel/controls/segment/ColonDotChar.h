#pragma once
// Narrow cell of three squares, for '.' and ':'.

#include "SegmentChar.h"

class CColonDotChar : public CSegmentChar
{
public:
    CColonDotChar();
    void SetMaskAndStyle(std::uint16_t mask, std::uint32_t style) override;
};
