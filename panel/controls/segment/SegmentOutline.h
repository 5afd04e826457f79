#pragma once
// The outline of one segment in glyph space (x to the right, y downwards,
// cells 83 units high), with one path point kind per point.

#include <cstdint>
#include <vector>

// Point kinds, with the values of the platform's path point types.
constexpr std::uint8_t SEG_MOVETO = 6;   // first point of the outline
constexpr std::uint8_t SEG_LINETO = 2;   // straight edge to this point
constexpr std::uint8_t SEG_CURVETO = 4;  // curve sample; a run of them is drawn as one fitted cubic

constexpr int GLYPH_HEIGHT = 83;
constexpr int GLYPH_WIDE = 49;    // seven- and fourteen-segment cells
constexpr int GLYPH_NARROW = 18;  // colon/dot cell

struct GlyphPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const GlyphPoint&, const GlyphPoint&) = default;
};

// How a table outline is placed for one segment of a wide cell.
enum class GlyphTransform {
    None,
    MirrorX,      // x' = 48 - x
    MirrorY,      // y' = 82 - y
    PointMirror,  // both
};

// One maximal run of curve samples: indices [start, start + length).
struct CurveRun {
    int start = 0;
    int length = 0;
    friend bool operator==(const CurveRun&, const CurveRun&) = default;
};

class CSegmentOutline
{
public:
    CSegmentOutline() = default;
    CSegmentOutline(const GlyphPoint* points, const std::uint8_t* kinds, int count);

    // Replaces the content with copies of the given arrays.
    void SetPoints(const GlyphPoint* points, const std::uint8_t* kinds, int count);

    // A copy with every point moved; kinds and order stay as they are.
    CSegmentOutline Transformed(GlyphTransform transform) const;

    // The curve runs that can be fitted: each has an ordinary point before it
    // and a SEG_LINETO point after it.
    std::vector<CurveRun> CurveRuns() const;

    int Count() const { return m_count; }
    const std::vector<GlyphPoint>& Points() const { return m_points; }
    const std::vector<std::uint8_t>& Kinds() const { return m_kinds; }

private:
    std::vector<GlyphPoint> m_points;
    std::vector<std::uint8_t> m_kinds;
    int m_count = 0;
};
