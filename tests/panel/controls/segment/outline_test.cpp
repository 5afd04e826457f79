// Segment outlines in glyph space and their mapping to device figures.
#include "controls/segment/SegmentStyle.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<GlyphPoint> Mirrored(const CSegmentChar& c, int segment, bool x, bool y)
{
    std::vector<GlyphPoint> out = c.Outlines()[static_cast<std::size_t>(segment)].Points();
    for (GlyphPoint& p : out) {
        p = {x ? 48 - p.x : p.x, y ? 82 - p.y : p.y};
    }
    return out;
}

const std::vector<GlyphPoint>& Seg(const CSegmentChar& c, int i)
{
    return c.Outlines()[static_cast<std::size_t>(i)].Points();
}

QPoint Device(const GlyphPoint& p, const SegmentRect& r)
{
    return {static_cast<int>(r.left + p.x * (r.right - r.left) / 49 + 0.5),
            static_cast<int>(r.top + p.y * (r.bottom - r.top) / 83 + 0.5)};
}

}  // namespace

TEST(SegmentOutlines, MirrorTransformsPlaceTheSegments)
{
    const auto straight = Cell('8');
    for (const GlyphPoint& p : Seg(*straight, 2)) {
        EXPECT_TRUE(p.x >= 37 && p.x <= 44);
    }
    EXPECT_EQ(Seg(*straight, 2), Mirrored(*straight, 1, true, false));
    EXPECT_EQ(Seg(*straight, 4), Mirrored(*straight, 1, false, true));
    EXPECT_EQ(Seg(*straight, 5), Mirrored(*straight, 1, true, true));
    EXPECT_EQ(Seg(*straight, 6), Mirrored(*straight, 0, false, true));

    // Curved: the right side is its own shape, not the left one mirrored.
    const auto curved = Cell('8', SEGSTYLE_CURVED);
    EXPECT_NE(Seg(*curved, 2), Mirrored(*curved, 1, true, false));
    EXPECT_EQ(Seg(*curved, 4), Mirrored(*curved, 1, false, true));
    EXPECT_EQ(Seg(*curved, 5), Mirrored(*curved, 2, false, true));

    const struct {
        int segment, base;
        bool x, y;
    } alpha[] = {{2, 1, true, false}, {3, 1, false, true},   {4, 1, true, true},  {5, 0, false, true},
                 {7, 6, true, false}, {10, 13, false, true}, {11, 8, true, true}, {12, 8, true, false}};
    for (std::uint32_t style : {0u, SEGSTYLE_CURVED}) {
        const auto c = Cell('*', style);
        for (const auto& m : alpha) {
            EXPECT_EQ(Seg(*c, m.segment), Mirrored(*c, m.base, m.x, m.y)) << m.segment << " style " << style;
        }
    }
}

TEST(SegmentDeviceFigures, StraightPointsScaleAndRoundHalfUp)
{
    const auto eight = Cell('8');
    const CSegmentOutline& top = eight->Outlines()[0];
    const DeviceFigure f = CSegmentChar::OutlineFigure(top, {10, 20, 108, 186}, 49);
    ASSERT_EQ(f.points.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(f.points[i], QPoint(10 + 2 * top.Points()[i].x, 20 + 2 * top.Points()[i].y));
        EXPECT_EQ(f.kinds[i], i == 0 ? SEG_MOVETO : SEG_LINETO);
    }
    EXPECT_EQ(CSegmentChar::OutlineFigure(top, {0.5, 0.5, 49.5, 83.5}, 49).points[0], QPoint(6, 5));
    EXPECT_EQ(CSegmentChar::OutlineFigure(top, {0.49, 0.49, 49.49, 83.49}, 49).points[0], QPoint(5, 4));
    // Samples that cannot be fitted (no end point after them) become straight edges.
    const GlyphPoint pts[] = {{4, 4}, {8, 8}, {12, 4}};
    const std::uint8_t kinds[] = {SEG_MOVETO, SEG_CURVETO, SEG_CURVETO};
    const DeviceFigure open = CSegmentChar::OutlineFigure(CSegmentOutline(pts, kinds, 3), {0, 0, 49, 83}, 49);
    EXPECT_EQ(open.kinds, (std::vector<std::uint8_t>{SEG_MOVETO, SEG_LINETO, SEG_LINETO}));
    EXPECT_EQ(RoundDevice(-2.5), -2);
    EXPECT_EQ(RoundDevice(std::nan("")), 0);
}

TEST(SegmentDeviceFigures, CurveRunsEndExactlyAtTheRoundedEndPoint)
{
    const auto eight = Cell('8', SEGSTYLE_CURVED);
    const CSegmentOutline& right = eight->Outlines()[2];  // M S S L L L S S S L
    const std::uint8_t B = SEG_CURVETO, L = SEG_LINETO;
    const std::vector<std::uint8_t> kinds = {SEG_MOVETO, B, B, B, L, L, B, B, B};
    for (const SegmentRect& r :
         {SegmentRect{0, 0, 49, 83}, SegmentRect{13.37, 2.71, 61.9, 150.2}, SegmentRect{100.5, 0.5, 131.75, 40.25}}) {
        const DeviceFigure f = CSegmentChar::OutlineFigure(right, r, 49);
        ASSERT_EQ(f.kinds, kinds);
        EXPECT_EQ(f.points[3], Device(right.Points()[3], r));
        EXPECT_EQ(f.points[4], Device(right.Points()[4], r));
        EXPECT_EQ(f.points[8], Device(right.Points()[9], r));
    }
}

TEST(SegmentDeviceFigures, FittedCurvesPassNearTheirSamples)
{
    // At ten times glyph size, every sample within one glyph unit of its curve.
    const SegmentRect r{0, 0, 490, 830};
    for (const char ch : {'8', 'W'}) {
        const auto c = Cell(ch, SEGSTYLE_CURVED);
        for (const CSegmentOutline& o : c->Outlines()) {
            const DeviceFigure f = CSegmentChar::OutlineFigure(o, r, 49);
            std::size_t fi = 0;
            int gi = 0;
            for (const CurveRun& run : o.CurveRuns()) {
                fi += static_cast<std::size_t>(run.start - gi);  // straight points before the run
                const QPointF p0 = f.points[fi - 1], c1 = f.points[fi], c2 = f.points[fi + 1], pe = f.points[fi + 2];
                for (int k = 0; k < run.length; ++k) {
                    const GlyphPoint g = o.Points()[static_cast<std::size_t>(run.start + k)];
                    double best = 1e9;
                    for (double t = 0; t <= 1.0; t += 1.0 / 512) {
                        const double u = 1 - t;
                        const QPointF b = u * u * u * p0 + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * pe;
                        best = std::min(best, std::hypot(b.x() - g.x * 10, b.y() - g.y * 10));
                    }
                    EXPECT_LT(best, 10.0) << ch << " sample " << g.x << "," << g.y;
                }
                fi += 3;
                gi = run.start + run.length + 1;
            }
        }
    }
}
