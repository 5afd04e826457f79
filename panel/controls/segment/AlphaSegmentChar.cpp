#include "AlphaSegmentChar.h"

#include "SegmentGlyphs.h"

CAlphaSegmentChar::CAlphaSegmentChar()
{
    m_width = GLYPH_WIDE;
    m_segmentCount = ALPHA_SEGMENTS;
}

void CAlphaSegmentChar::SetMaskAndStyle(std::uint16_t mask, std::uint32_t style)
{
    BuildOutlines(ALPHA_LAYOUT, style);
    CSegmentChar::SetMaskAndStyle(mask, style);
}
