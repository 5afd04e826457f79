#include "SegmentOutline.h"

namespace {

// Twice the centre column of a 49-unit cell, and twice its middle row.
constexpr std::int32_t kMirrorXSum = 2 * ((GLYPH_WIDE - 1) / 2);
constexpr std::int32_t kMirrorYSum = 82;

GlyphPoint Apply(GlyphTransform transform, GlyphPoint p)
{
    switch (transform) {
    case GlyphTransform::None: break;
    case GlyphTransform::MirrorX: p.x = kMirrorXSum - p.x; break;
    case GlyphTransform::MirrorY: p.y = kMirrorYSum - p.y; break;
    case GlyphTransform::PointMirror:
        p.x = kMirrorXSum - p.x;
        p.y = kMirrorYSum - p.y;
        break;
    }
    return p;
}

}  // namespace

CSegmentOutline::CSegmentOutline(const GlyphPoint* points, const std::uint8_t* kinds, int count)
{
    SetPoints(points, kinds, count);
}

void CSegmentOutline::SetPoints(const GlyphPoint* points, const std::uint8_t* kinds, int count)
{
    if (count <= 0 || points == nullptr || kinds == nullptr) {
        m_points.clear();
        m_kinds.clear();
        m_count = 0;
        return;
    }
    m_points.assign(points, points + count);
    m_kinds.assign(kinds, kinds + count);
    m_count = count;
}

CSegmentOutline CSegmentOutline::Transformed(GlyphTransform transform) const
{
    CSegmentOutline result(*this);
    for (GlyphPoint& p : result.m_points) {
        p = Apply(transform, p);
    }
    return result;
}

std::vector<CurveRun> CSegmentOutline::CurveRuns() const
{
    std::vector<CurveRun> runs;
    int i = 0;
    while (i < m_count) {
        if (m_kinds[i] != SEG_CURVETO) {
            ++i;
            continue;
        }
        int end = i;
        while (end < m_count && m_kinds[end] == SEG_CURVETO) {
            ++end;
        }
        // A run needs a start point before it and its end point after it.
        if (i > 0 && end < m_count && m_kinds[end] == SEG_LINETO) {
            runs.push_back({i, end - i});
        }
        i = end;
    }
    return runs;
}
