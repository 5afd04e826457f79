#include "SegmentChar.h"

#include "CurveFit.h"
#include "SegmentGlyphs.h"
#include "SegmentStyle.h"

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace {

struct DevicePoint {
    double x;
    double y;
};

DevicePoint ToDevice(const GlyphPoint& p, const SegmentRect& rect, double sx, double sy)
{
    return {rect.left + p.x * sx, rect.top + p.y * sy};
}

QPoint Rounded(double x, double y) { return {RoundDevice(x), RoundDevice(y)}; }

}  // namespace

int CSegmentChar::GetWidth() const { return m_kind->width; }

int CSegmentChar::GetSegmentCount() const { return m_kind->segmentCount; }

int RoundDevice(double v)
{
    // Beyond any drawable surface; keeps the conversion defined.
    constexpr double kLimit = 1.0e9;
    if (std::isnan(v)) {
        return 0;
    }
    v = std::clamp(v, -kLimit, kLimit);
    // floor(v + 0.5) is add-a-half-and-truncate for every on-screen value, and
    // stays "half up" for the control points that fall left of or above it.
    return static_cast<int>(std::floor(v + 0.5));
}

CSegmentChar::CSegmentChar(const SegmentCellKind& kind, std::uint16_t mask, std::uint32_t style)
    : m_kind(&kind), m_mask(mask), m_hideUnlit((style & SEGSTYLE_HIDE_UNLIT) != 0)
{
    const bool curved = (style & SEGSTYLE_CURVED) != 0;
    m_outlines.reserve(static_cast<std::size_t>(kind.segmentCount));
    for (int i = 0; i < kind.segmentCount; ++i) {
        const SegmentPlacement& place = kind.layout[i];
        const GlyphOutline& base = curved ? *place.curved : *place.straight;
        const GlyphTransform transform = curved ? place.curvedTransform : place.straightTransform;
        m_outlines.push_back(CSegmentOutline(base.points, base.kinds, base.count).Transformed(transform));
    }
}

DeviceFigure CSegmentChar::OutlineFigure(const CSegmentOutline& outline, const SegmentRect& rect, int width)
{
    DeviceFigure figure;
    if (width <= 0) {
        return figure;
    }
    const double sx = (rect.right - rect.left) / width;
    const double sy = (rect.bottom - rect.top) / GLYPH_HEIGHT;
    const std::vector<GlyphPoint>& points = outline.Points();
    const std::vector<std::uint8_t>& kinds = outline.Kinds();
    const std::vector<CurveRun> runs = outline.CurveRuns();
    auto nextRun = runs.begin();

    std::vector<double> samples;
    const int count = outline.Count();
    for (int i = 0; i < count; ++i) {
        if (nextRun != runs.end() && nextRun->start == i) {
            // P0, the run's samples and Pe, all unrounded.
            const int k = nextRun->length;
            samples.clear();
            for (int j = i - 1; j <= i + k; ++j) {
                const DevicePoint d = ToDevice(points[j], rect, sx, sy);
                samples.push_back(d.x);
                samples.push_back(d.y);
            }
            double controls[4];
            FitCurveRun(samples.data(), static_cast<int>(samples.size()), controls);
            const DevicePoint end = ToDevice(points[i + k], rect, sx, sy);
            figure.points.push_back(Rounded(controls[0], controls[1]));
            figure.points.push_back(Rounded(controls[2], controls[3]));
            figure.points.push_back(Rounded(end.x, end.y));
            figure.kinds.insert(figure.kinds.end(), 3, SEG_CURVETO);
            i += k;  // the curve has consumed Pe
            ++nextRun;
            continue;
        }
        const DevicePoint d = ToDevice(points[i], rect, sx, sy);
        // A sample outside a fittable run is joined with a straight edge.
        const std::uint8_t kind = (kinds[i] == SEG_MOVETO || figure.points.empty()) ? SEG_MOVETO : SEG_LINETO;
        figure.points.push_back(Rounded(d.x, d.y));
        figure.kinds.push_back(kind);
    }
    return figure;
}

void CSegmentChar::DrawOutline(QPainterPath& path, const CSegmentOutline& outline, const SegmentRect& rect, int width)
{
    const DeviceFigure figure = OutlineFigure(outline, rect, width);
    const std::size_t n = figure.points.size();
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF p(figure.points[i]);
        switch (figure.kinds[i]) {
        case SEG_MOVETO: path.moveTo(p); break;
        case SEG_CURVETO:
            if (i + 2 < n) {
                path.cubicTo(p, QPointF(figure.points[i + 1]), QPointF(figure.points[i + 2]));
                i += 2;
            }
            break;
        default: path.lineTo(p); break;
        }
    }
    if (n > 0) {
        path.closeSubpath();
    }
}

std::vector<DeviceFigure> CSegmentChar::SegmentFigures(const SegmentRect& rect) const
{
    std::vector<DeviceFigure> figures;
    figures.reserve(m_outlines.size());
    for (const CSegmentOutline& outline : m_outlines) {
        figures.push_back(OutlineFigure(outline, rect, GetWidth()));
    }
    return figures;
}

std::vector<QPainterPath> CSegmentChar::SegmentPaths(const SegmentRect& rect) const
{
    std::vector<QPainterPath> paths;
    paths.reserve(m_outlines.size());
    for (const CSegmentOutline& outline : m_outlines) {
        QPainterPath& path = paths.emplace_back();
        path.setFillRule(Qt::OddEvenFill);
        DrawOutline(path, outline, rect, GetWidth());
    }
    return paths;
}

void CSegmentChar::Draw(QPainter& dc, const SegmentRect& rect, const QPen& offPen, const QPen& onPen,
                        const QBrush& offBrush, const QBrush& onBrush) const
{
    DrawPaths(dc, SegmentPaths(rect), offPen, onPen, offBrush, onBrush);
}

void CSegmentChar::DrawPaths(QPainter& dc, const std::vector<QPainterPath>& paths, const QPen& offPen,
                             const QPen& onPen, const QBrush& offBrush, const QBrush& onBrush) const
{
    const int segments = std::min(GetSegmentCount(), static_cast<int>(paths.size()));
    for (int i = 0; i < segments; ++i) {
        const bool lit = IsLit(i);
        dc.setBrush(lit ? onBrush : offBrush);
        dc.setPen(lit ? onPen : offPen);
        if (m_hideUnlit && !lit) {
            continue;
        }
        dc.drawPath(paths[static_cast<std::size_t>(i)]);  // closed figure: stroked with the pen, filled with the brush
    }
}
