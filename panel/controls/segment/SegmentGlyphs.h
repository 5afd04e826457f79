#pragma once
// Constant glyph outlines, segment masks and the placement of each segment
// of a cell. Pure data; the cell classes build their outlines from it.

#include "SegmentOutline.h"

#include <cstdint>

struct GlyphOutline {
    const GlyphPoint* points;
    const std::uint8_t* kinds;
    int count;
};

// Base outlines.
extern const GlyphOutline SEVEN_TOP;
extern const GlyphOutline SEVEN_SIDE;
extern const GlyphOutline SEVEN_MIDDLE;
extern const GlyphOutline SEVEN_TOP_CURVED;
extern const GlyphOutline SEVEN_LEFT_CURVED;
extern const GlyphOutline SEVEN_RIGHT_CURVED;
extern const GlyphOutline SEVEN_MIDDLE_CURVED;
extern const GlyphOutline ALPHA_STEM;
extern const GlyphOutline ALPHA_DIAGONAL;
extern const GlyphOutline ALPHA_HALFBAR;
extern const GlyphOutline ALPHA_SIDE;
extern const GlyphOutline ALPHA_TOP;
extern const GlyphOutline ALPHA_STEM_CURVED;
extern const GlyphOutline ALPHA_DIAGONAL_CURVED;
extern const GlyphOutline ALPHA_HALFBAR_CURVED;
extern const GlyphOutline ALPHA_SIDE_CURVED;
extern const GlyphOutline ALPHA_TOP_CURVED;
extern const GlyphOutline DOT_UPPER;
extern const GlyphOutline DOT_MIDDLE;
extern const GlyphOutline DOT_LOWER;

// Masks indexed 0 = space, 1..10 = '0'..'9', 11 = minus.
constexpr int SEVEN_MASK_COUNT = 12;
extern const std::uint8_t SEVEN_MASKS[SEVEN_MASK_COUNT];
// As above, then 12..37 = 'A'..'Z', 38 = '*'.
constexpr int ALPHA_MASK_COUNT = 39;
extern const std::uint16_t ALPHA_MASKS[ALPHA_MASK_COUNT];

struct CharMask {
    char ch;
    std::uint16_t mask;
};
// Signs shown in fourteen-segment cells besides letters, digits and '*'
// (which has its own entry in ALPHA_MASKS).
constexpr int ALPHA_SIGN_COUNT = 6;
constexpr int ALPHA_STAR_INDEX = 38;
extern const CharMask ALPHA_SIGN_MASKS[ALPHA_SIGN_COUNT];
// '.' and ':'.
constexpr int COLON_DOT_COUNT = 2;
extern const CharMask COLON_DOT_MASKS[COLON_DOT_COUNT];

// Which table outline a segment uses, and how it is moved, per style.
struct SegmentPlacement {
    const GlyphOutline* straight;
    GlyphTransform straightTransform;
    const GlyphOutline* curved;
    GlyphTransform curvedTransform;
};

constexpr int SEVEN_SEGMENTS = 7;
constexpr int ALPHA_SEGMENTS = 14;
constexpr int COLON_DOT_SEGMENTS = 3;
extern const SegmentPlacement SEVEN_LAYOUT[SEVEN_SEGMENTS];
extern const SegmentPlacement ALPHA_LAYOUT[ALPHA_SEGMENTS];
extern const SegmentPlacement COLON_DOT_LAYOUT[COLON_DOT_SEGMENTS];

// A kind of character cell: its width in glyph units and where its segments
// sit. The kinds differ in nothing else.
struct SegmentCellKind {
    int width;
    int segmentCount;
    const SegmentPlacement* layout;
};
extern const SegmentCellKind SEVEN_CELL;      // digits, space and minus
extern const SegmentCellKind ALPHA_CELL;      // letters, signs and (on request) digits
extern const SegmentCellKind COLON_DOT_CELL;  // '.' and ':': three squares, the same in both styles
