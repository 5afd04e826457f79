#include "ColonDotChar.h"

#include "SegmentGlyphs.h"

CColonDotChar::CColonDotChar()
{
    m_width = GLYPH_NARROW;
    m_segmentCount = COLON_DOT_SEGMENTS;
}

void CColonDotChar::SetMaskAndStyle(std::uint16_t mask, std::uint32_t style)
{
    // The squares are the same in both styles.
    BuildOutlines(COLON_DOT_LAYOUT, style);
    CSegmentChar::SetMaskAndStyle(mask, style);
}
