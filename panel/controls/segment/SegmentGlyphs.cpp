#include "SegmentGlyphs.h"

#include <cstddef>

namespace {

constexpr std::uint8_t M = SEG_MOVETO;
constexpr std::uint8_t L = SEG_LINETO;
constexpr std::uint8_t S = SEG_CURVETO;

template <std::size_t N, std::size_t K>
constexpr GlyphOutline Outline(const GlyphPoint (&points)[N], const std::uint8_t (&kinds)[K])
{
    static_assert(N == K, "one kind per point");
    return GlyphOutline{points, kinds, static_cast<int>(N)};
}

// ---- seven-segment, straight ----
constexpr GlyphPoint kSevenTopP[] = {{5, 4}, {12, 11}, {36, 11}, {43, 4}};
constexpr std::uint8_t kSevenTopK[] = {M, L, L, L};
constexpr GlyphPoint kSevenSideP[] = {{4, 6}, {4, 40}, {11, 36}, {11, 13}};
constexpr std::uint8_t kSevenSideK[] = {M, L, L, L};
constexpr GlyphPoint kSevenMiddleP[] = {{6, 41}, {14, 45}, {34, 45}, {42, 41}, {34, 37}, {14, 37}};
constexpr std::uint8_t kSevenMiddleK[] = {M, L, L, L, L, L};

// ---- seven-segment, curved ----
constexpr GlyphPoint kSevenTopCurvedP[] = {{6, 4}, {5, 5}, {5, 6}, {8, 9}, {12, 11}, {36, 11}, {39, 4}};
constexpr std::uint8_t kSevenTopCurvedK[] = {M, S, S, S, L, L, L};
constexpr GlyphPoint kSevenLeftCurvedP[] = {{4, 9}, {4, 39}, {6, 40}, {7, 40}, {9, 38}, {11, 36}, {11, 12}};
constexpr std::uint8_t kSevenLeftCurvedK[] = {M, L, S, S, S, L, L};
constexpr GlyphPoint kSevenRightCurvedP[] = {{37, 36}, {39, 38}, {41, 40}, {42, 40}, {44, 39},
                                             {44, 6},  {42, 4},  {41, 4},  {39, 8},  {37, 12}};
constexpr std::uint8_t kSevenRightCurvedK[] = {M, S, S, L, L, L, S, S, S, L};
constexpr GlyphPoint kSevenMiddleCurvedP[] = {{8, 41}, {12, 45}, {36, 45}, {40, 41}, {36, 37}, {12, 37}};
constexpr std::uint8_t kSevenMiddleCurvedK[] = {M, L, L, L, L, L};

// ---- fourteen-segment, straight ----
constexpr GlyphPoint kAlphaStemP[] = {{20, 13}, {20, 36}, {24, 40}, {28, 36}, {28, 13}};
constexpr std::uint8_t kAlphaStemK[] = {M, L, L, L, L};
constexpr GlyphPoint kAlphaDiagonalP[] = {{5, 5}, {15, 35}, {20, 37}, {18, 25}};
constexpr std::uint8_t kAlphaDiagonalK[] = {M, L, L, L};
constexpr GlyphPoint kAlphaHalfbarP[] = {{6, 41}, {14, 45}, {18, 45}, {22, 41}, {18, 37}, {14, 37}};
constexpr std::uint8_t kAlphaHalfbarK[] = {M, L, L, L, L, L};
constexpr GlyphPoint kAlphaSideP[] = {{4, 7}, {4, 40}, {11, 36}, {11, 26}};
constexpr std::uint8_t kAlphaSideK[] = {M, L, L, L};
constexpr GlyphPoint kAlphaTopP[] = {{6, 4}, {11, 11}, {37, 11}, {42, 4}};
constexpr std::uint8_t kAlphaTopK[] = {M, L, L, L};

// ---- fourteen-segment, curved ----
constexpr GlyphPoint kAlphaStemCurvedP[] = {{20, 12}, {20, 25}, {22, 36}, {23, 39}, {24, 40}, {25, 39}, {26, 36},
                                            {28, 25}, {28, 12}, {26, 10}, {24, 9},  {22, 10}, {20, 12}};
constexpr std::uint8_t kAlphaStemCurvedK[] = {M, L, S, S, S, S, S, L, L, S, S, S, L};
constexpr GlyphPoint kAlphaDiagonalCurvedP[] = {{10, 10}, {10, 13}, {11, 20}, {13, 28}, {21, 38},
                                                {21, 37}, {19, 26}, {15, 16}, {11, 10}, {10, 10}};
constexpr std::uint8_t kAlphaDiagonalCurvedK[] = {M, S, S, S, L, L, S, S, S, L};
constexpr GlyphPoint kAlphaHalfbarCurvedP[] = {{8, 41}, {12, 45}, {16, 45}, {23, 41}, {16, 37}, {12, 37}};
constexpr std::uint8_t kAlphaHalfbarCurvedK[] = {M, L, L, L, L, L};
constexpr GlyphPoint kAlphaSideCurvedP[] = {{4, 7},   {4, 39},  {5, 40}, {6, 40}, {9, 37},
                                            {11, 33}, {11, 25}, {9, 14}, {5, 6},  {4, 7}};
constexpr std::uint8_t kAlphaSideCurvedK[] = {M, L, S, S, S, S, L, S, S, L};
constexpr GlyphPoint kAlphaTopCurvedP[] = {{8, 4},   {7, 5},  {7, 6},  {9, 8},  {12, 9},  {14, 11},
                                           {19, 11}, {21, 9}, {24, 7}, {27, 9}, {29, 11}, {34, 11},
                                           {36, 9},  {39, 8}, {41, 6}, {41, 5}, {40, 4}};
constexpr std::uint8_t kAlphaTopCurvedK[] = {M, S, S, S, S, L, L, S, S, S, L, L, S, S, S, S, L};

// ---- colon/dot ----
constexpr GlyphPoint kDotUpperP[] = {{4, 23}, {4, 32}, {13, 32}, {13, 23}};
constexpr GlyphPoint kDotMiddleP[] = {{4, 50}, {4, 59}, {13, 59}, {13, 50}};
constexpr GlyphPoint kDotLowerP[] = {{4, 68}, {4, 77}, {13, 77}, {13, 68}};
constexpr std::uint8_t kDotK[] = {M, L, L, L};

}  // namespace

const GlyphOutline SEVEN_TOP = Outline(kSevenTopP, kSevenTopK);
const GlyphOutline SEVEN_SIDE = Outline(kSevenSideP, kSevenSideK);
const GlyphOutline SEVEN_MIDDLE = Outline(kSevenMiddleP, kSevenMiddleK);
const GlyphOutline SEVEN_TOP_CURVED = Outline(kSevenTopCurvedP, kSevenTopCurvedK);
const GlyphOutline SEVEN_LEFT_CURVED = Outline(kSevenLeftCurvedP, kSevenLeftCurvedK);
const GlyphOutline SEVEN_RIGHT_CURVED = Outline(kSevenRightCurvedP, kSevenRightCurvedK);
const GlyphOutline SEVEN_MIDDLE_CURVED = Outline(kSevenMiddleCurvedP, kSevenMiddleCurvedK);
const GlyphOutline ALPHA_STEM = Outline(kAlphaStemP, kAlphaStemK);
const GlyphOutline ALPHA_DIAGONAL = Outline(kAlphaDiagonalP, kAlphaDiagonalK);
const GlyphOutline ALPHA_HALFBAR = Outline(kAlphaHalfbarP, kAlphaHalfbarK);
const GlyphOutline ALPHA_SIDE = Outline(kAlphaSideP, kAlphaSideK);
const GlyphOutline ALPHA_TOP = Outline(kAlphaTopP, kAlphaTopK);
const GlyphOutline ALPHA_STEM_CURVED = Outline(kAlphaStemCurvedP, kAlphaStemCurvedK);
const GlyphOutline ALPHA_DIAGONAL_CURVED = Outline(kAlphaDiagonalCurvedP, kAlphaDiagonalCurvedK);
const GlyphOutline ALPHA_HALFBAR_CURVED = Outline(kAlphaHalfbarCurvedP, kAlphaHalfbarCurvedK);
const GlyphOutline ALPHA_SIDE_CURVED = Outline(kAlphaSideCurvedP, kAlphaSideCurvedK);
const GlyphOutline ALPHA_TOP_CURVED = Outline(kAlphaTopCurvedP, kAlphaTopCurvedK);
const GlyphOutline DOT_UPPER = Outline(kDotUpperP, kDotK);
const GlyphOutline DOT_MIDDLE = Outline(kDotMiddleP, kDotK);
const GlyphOutline DOT_LOWER = Outline(kDotLowerP, kDotK);

const std::uint8_t SEVEN_MASKS[SEVEN_MASK_COUNT] = {
    0x00,                                                        // space
    0x77, 0x24, 0x5D, 0x6D, 0x2E, 0x6B, 0x7B, 0x25, 0x7F, 0x6F,  // '0'..'9'
    0x08,                                                        // minus
};

const std::uint16_t ALPHA_MASKS[ALPHA_MASK_COUNT] = {
    0x0000,                                                                          // space
    0x3F00, 0x1800, 0x36C0, 0x3CC0, 0x19C0, 0x2DC0, 0x2FC0, 0x3800, 0x3FC0, 0x3DC0,  // '0'..'9'
    0x00C0,                                                                          // minus
    0x3BC0, 0x3CA1, 0x2700, 0x3C21, 0x27C0, 0x23C0, 0x2F80, 0x1BC0, 0x2421,          // 'A'..'I'
    0x1E00, 0x0354, 0x0700, 0x1B06, 0x1B12, 0x3F00, 0x33C0, 0x3F10, 0x33D0,          // 'J'..'R'
    0x2DC0, 0x2021, 0x1F00, 0x030C, 0x1B18, 0x001E, 0x11E0, 0x240C,                  // 'S'..'Z'
    0x00FF,                                                                          // '*'
};

const CharMask ALPHA_SIGN_MASKS[ALPHA_SIGN_COUNT] = {
    {'+', 0x00E1},   // both stems, both middle halves
    {'(', 0x0014},   // right-hand diagonals
    {')', 0x000A},   // left-hand diagonals
    {'\\', 0x0012},  // upper-left and lower-right diagonals
    {'/', 0x000C},   // upper-right and lower-left diagonals
    {'\'', 0x0001},  // upper stem
};

const CharMask COLON_DOT_MASKS[COLON_DOT_COUNT] = {
    {'.', 0x4},  // lower square
    {':', 0x3},  // upper and middle squares
};

namespace {
constexpr GlyphTransform N = GlyphTransform::None;
constexpr GlyphTransform X = GlyphTransform::MirrorX;
constexpr GlyphTransform Y = GlyphTransform::MirrorY;
constexpr GlyphTransform P = GlyphTransform::PointMirror;
}  // namespace

// The curved right-hand sides have their own outline; they are not mirrors
// of the left-hand ones.
const SegmentPlacement SEVEN_LAYOUT[SEVEN_SEGMENTS] = {
    {&SEVEN_TOP, N, &SEVEN_TOP_CURVED, N},        // 0 top bar
    {&SEVEN_SIDE, N, &SEVEN_LEFT_CURVED, N},      // 1 upper-left
    {&SEVEN_SIDE, X, &SEVEN_RIGHT_CURVED, N},     // 2 upper-right
    {&SEVEN_MIDDLE, N, &SEVEN_MIDDLE_CURVED, N},  // 3 middle bar
    {&SEVEN_SIDE, Y, &SEVEN_LEFT_CURVED, Y},      // 4 lower-left
    {&SEVEN_SIDE, P, &SEVEN_RIGHT_CURVED, Y},     // 5 lower-right
    {&SEVEN_TOP, Y, &SEVEN_TOP_CURVED, Y},        // 6 bottom bar
};

const SegmentPlacement ALPHA_LAYOUT[ALPHA_SEGMENTS] = {
    {&ALPHA_STEM, N, &ALPHA_STEM_CURVED, N},          // 0 upper stem
    {&ALPHA_DIAGONAL, N, &ALPHA_DIAGONAL_CURVED, N},  // 1 upper-left diagonal
    {&ALPHA_DIAGONAL, X, &ALPHA_DIAGONAL_CURVED, X},  // 2 upper-right diagonal
    {&ALPHA_DIAGONAL, Y, &ALPHA_DIAGONAL_CURVED, Y},  // 3 lower-left diagonal
    {&ALPHA_DIAGONAL, P, &ALPHA_DIAGONAL_CURVED, P},  // 4 lower-right diagonal
    {&ALPHA_STEM, Y, &ALPHA_STEM_CURVED, Y},          // 5 lower stem
    {&ALPHA_HALFBAR, N, &ALPHA_HALFBAR_CURVED, N},    // 6 middle bar, left half
    {&ALPHA_HALFBAR, X, &ALPHA_HALFBAR_CURVED, X},    // 7 middle bar, right half
    {&ALPHA_SIDE, N, &ALPHA_SIDE_CURVED, N},          // 8 upper-left side
    {&ALPHA_SIDE, Y, &ALPHA_SIDE_CURVED, Y},          // 9 lower-left side
    {&ALPHA_TOP, Y, &ALPHA_TOP_CURVED, Y},            // 10 bottom bar
    {&ALPHA_SIDE, P, &ALPHA_SIDE_CURVED, P},          // 11 lower-right side
    {&ALPHA_SIDE, X, &ALPHA_SIDE_CURVED, X},          // 12 upper-right side
    {&ALPHA_TOP, N, &ALPHA_TOP_CURVED, N},            // 13 top bar
};

const SegmentPlacement COLON_DOT_LAYOUT[COLON_DOT_SEGMENTS] = {
    {&DOT_UPPER, N, &DOT_UPPER, N},
    {&DOT_MIDDLE, N, &DOT_MIDDLE, N},
    {&DOT_LOWER, N, &DOT_LOWER, N},
};

const SegmentCellKind SEVEN_CELL = {GLYPH_WIDE, SEVEN_SEGMENTS, SEVEN_LAYOUT};
const SegmentCellKind ALPHA_CELL = {GLYPH_WIDE, ALPHA_SEGMENTS, ALPHA_LAYOUT};
const SegmentCellKind COLON_DOT_CELL = {GLYPH_NARROW, COLON_DOT_SEGMENTS, COLON_DOT_LAYOUT};
