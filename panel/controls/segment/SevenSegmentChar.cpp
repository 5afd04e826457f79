#include "SevenSegmentChar.h"

#include "SegmentGlyphs.h"

CSevenSegmentChar::CSevenSegmentChar()
{
    m_width = GLYPH_WIDE;
    m_segmentCount = SEVEN_SEGMENTS;
}

void CSevenSegmentChar::SetMaskAndStyle(std::uint16_t mask, std::uint32_t style)
{
    BuildOutlines(SEVEN_LAYOUT, style);
    CSegmentChar::SetMaskAndStyle(mask, style);
}
