// Character-to-cell mapping: which cell kind each byte gets and which
// segments it lights.
#include "controls/segment/SegmentGlyphs.h"
#include "controls/segment/SegmentStyle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Is(const std::unique_ptr<CSegmentChar>& c, const SegmentCellKind& kind) { return c && &c->Kind() == &kind; }

}  // namespace

TEST(SegmentCharMapping, DigitsMinusAndSpaceInBothCellKinds)
{
    // 0 top, 1 upper-left, 2 upper-right, 3 middle, 4 lower-left, 5 lower-right, 6 bottom.
    const std::vector<std::vector<int>> lit = {
        {0, 1, 2, 4, 5, 6}, {2, 5},    {0, 2, 3, 4, 6},       {0, 2, 3, 5, 6},   {1, 2, 3, 5}, {0, 1, 3, 5, 6},
        {0, 1, 3, 4, 5, 6}, {0, 2, 5}, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 5, 6}};
    for (int d = 0; d <= 9; ++d) {
        const auto cell = Cell(static_cast<char>('0' + d));
        ASSERT_TRUE(Is(cell, SEVEN_CELL)) << d;
        EXPECT_EQ(cell->GetMask(), LitMask(lit[static_cast<std::size_t>(d)])) << d;
        EXPECT_EQ(cell->Outlines().size(), 7u);
    }
    EXPECT_EQ(Cell('-')->GetMask(), LitMask({3}));
    EXPECT_EQ(Cell(' ')->GetMask(), 0);
    EXPECT_EQ(Cell(' ')->GetWidth(), 49);

    const auto one = Cell('1', SEGSTYLE_ALPHA_DIGITS);
    ASSERT_TRUE(Is(one, ALPHA_CELL));
    EXPECT_EQ(one->Outlines().size(), 14u);
    EXPECT_EQ(one->GetMask(), LitMask({11, 12}));
    EXPECT_EQ(Cell('-', SEGSTYLE_ALPHA_DIGITS)->GetMask(), LitMask({6, 7}));
    EXPECT_EQ(Cell(' ', SEGSTYLE_ALPHA_DIGITS)->GetMask(), 0);
    EXPECT_EQ(Cell('O')->GetMask(), Cell('0', SEGSTYLE_ALPHA_DIGITS)->GetMask());
    EXPECT_EQ(Cell('S')->GetMask(), Cell('5', SEGSTYLE_ALPHA_DIGITS)->GetMask());
}

TEST(SegmentCharMapping, LettersSignsAndDots)
{
    // 0/5 stems, 1..4 diagonals (upper-left, upper-right, lower-left, lower-right),
    // 6/7 middle halves, 8/9 left sides, 10 bottom, 11/12 right sides, 13 top.
    const struct {
        char ch;
        std::vector<int> lit;
    } alpha[] = {
        {'H', {6, 7, 8, 9, 11, 12}},
        {'A', {6, 7, 8, 9, 11, 12, 13}},
        {'I', {0, 5, 10, 13}},
        {'L', {8, 9, 10}},
        {'+', {0, 5, 6, 7}},
        {'(', {2, 4}},
        {')', {1, 3}},
        {'\\', {1, 4}},
        {'/', {2, 3}},
        {'\'', {0}},
        {'*', {0, 1, 2, 3, 4, 5, 6, 7}},
    };
    for (const auto& a : alpha) {
        const auto cell = Cell(a.ch);
        ASSERT_TRUE(Is(cell, ALPHA_CELL)) << a.ch;
        EXPECT_EQ(cell->GetMask(), LitMask(a.lit)) << a.ch;
    }
    const auto dot = Cell('.');
    const auto colon = Cell(':', SEGSTYLE_CURVED);
    ASSERT_TRUE(Is(dot, COLON_DOT_CELL) && Is(colon, COLON_DOT_CELL));
    EXPECT_EQ(dot->GetWidth(), 18);
    EXPECT_EQ(colon->Outlines().size(), 3u);
    EXPECT_EQ(dot->GetMask(), LitMask({2}));
    EXPECT_EQ(colon->GetMask(), LitMask({0, 1}));
}

TEST(SegmentCharMapping, OnlyTheDisplayableBytesGetACell)
{
    const std::string displayable = "0123456789 -ABCDEFGHIJKLMNOPQRSTUVWXYZ+()\\/'*.:";
    for (std::uint32_t style : {0u, SEGSTYLE_ALPHA_DIGITS | SEGSTYLE_CURVED}) {
        for (int b = 1; b < 256; ++b) {
            const char ch = static_cast<char>(b);
            const bool expected = b < 0x80 && displayable.find(ch) != std::string::npos;
            EXPECT_EQ(Cell(ch, style) != nullptr, expected) << "byte " << b;
        }
    }
    for (char ch : std::string(",;%?#az")) {
        EXPECT_EQ(Cell(ch), nullptr) << ch;
    }
    EXPECT_FALSE(Cell('8')->HidesUnlit());
    EXPECT_TRUE(Cell('8', SEGSTYLE_HIDE_UNLIT)->HidesUnlit());
}
