// Character-to-cell mapping for the segment display.
#include "AlphaSegmentChar.h"
#include "ColonDotChar.h"
#include "SegmentChar.h"
#include "SegmentGlyphs.h"
#include "SegmentStyle.h"
#include "SevenSegmentChar.h"

namespace {

// Index into the mask tables for space, digits and minus; -1 otherwise.
int NumericIndex(char ch)
{
    if (ch >= '0' && ch <= '9') {
        return ch - '0' + 1;
    }
    if (ch == ' ') {
        return 0;
    }
    if (ch == '-') {
        return 11;
    }
    return -1;
}

const CharMask* FindMask(const CharMask* table, int count, char ch)
{
    for (int i = 0; i < count; ++i) {
        if (table[i].ch == ch) {
            return &table[i];
        }
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<CSegmentChar> MakeSegmentChar(char ch, std::uint32_t style)
{
    // Compared as signed bytes: anything above 0x7F is negative and matches
    // none of the ranges below.
    const signed char c = static_cast<signed char>(ch);
    std::unique_ptr<CSegmentChar> cell;
    std::uint16_t mask = 0;

    if (const int index = NumericIndex(c); index >= 0) {
        if (style & SEGSTYLE_ALPHA_DIGITS) {
            cell = std::make_unique<CAlphaSegmentChar>();
            mask = ALPHA_MASKS[index];
        } else {
            cell = std::make_unique<CSevenSegmentChar>();
            mask = SEVEN_MASKS[index];
        }
    } else if (c >= 'A' && c <= 'Z') {
        cell = std::make_unique<CAlphaSegmentChar>();
        mask = ALPHA_MASKS[c - 'A' + 12];
    } else if (c == '*') {
        cell = std::make_unique<CAlphaSegmentChar>();
        mask = ALPHA_MASKS[ALPHA_STAR_INDEX];
    } else if (const CharMask* sign = FindMask(ALPHA_SIGN_MASKS, ALPHA_SIGN_COUNT, c)) {
        cell = std::make_unique<CAlphaSegmentChar>();
        mask = sign->mask;
    } else if (const CharMask* dot = FindMask(COLON_DOT_MASKS, COLON_DOT_COUNT, c)) {
        cell = std::make_unique<CColonDotChar>();
        mask = dot->mask;
    } else {
        return nullptr;
    }
    cell->SetMaskAndStyle(mask, style);
    return cell;
}
