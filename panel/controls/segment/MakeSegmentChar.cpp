// Character-to-cell mapping for the segment display.
#include "SegmentChar.h"
#include "SegmentGlyphs.h"
#include "SegmentStyle.h"

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
    const SegmentCellKind* kind = nullptr;
    std::uint16_t mask = 0;

    if (const int index = NumericIndex(c); index >= 0) {
        if (style & SEGSTYLE_ALPHA_DIGITS) {
            kind = &ALPHA_CELL;
            mask = ALPHA_MASKS[index];
        } else {
            kind = &SEVEN_CELL;
            mask = SEVEN_MASKS[index];
        }
    } else if (c >= 'A' && c <= 'Z') {
        kind = &ALPHA_CELL;
        mask = ALPHA_MASKS[c - 'A' + 12];
    } else if (c == '*') {
        kind = &ALPHA_CELL;
        mask = ALPHA_MASKS[ALPHA_STAR_INDEX];
    } else if (const CharMask* sign = FindMask(ALPHA_SIGN_MASKS, ALPHA_SIGN_COUNT, c)) {
        kind = &ALPHA_CELL;
        mask = sign->mask;
    } else if (const CharMask* dot = FindMask(COLON_DOT_MASKS, COLON_DOT_COUNT, c)) {
        kind = &COLON_DOT_CELL;
        mask = dot->mask;
    } else {
        return nullptr;
    }
    return std::make_unique<CSegmentChar>(*kind, mask, style);
}
