#pragma once
// One character cell of the segment display: the outline of each segment in
// glyph space and the mask of lit segments. Drawn into a device rectangle.

#include "SegmentOutline.h"

#include <QPoint>
#include <cstdint>
#include <memory>
#include <vector>

class QBrush;
struct SegmentCellKind;
class QPainter;
class QPainterPath;
class QPen;

// Device rectangle in doubles, so that cells placed side by side keep their
// fractional positions.
struct SegmentRect {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

// One outline mapped to integer device positions, laid out like a platform
// path: SEG_MOVETO, SEG_LINETO, and three SEG_CURVETO points (C1, C2, end) per
// fitted curve. Closing back to the first point is implied.
struct DeviceFigure {
    std::vector<QPoint> points;
    std::vector<std::uint8_t> kinds;
};

// Integer device position of a device coordinate: round half up.
int RoundDevice(double v);

class CSegmentChar
{
public:
    // A cell of `kind` with the segments of `mask` lit, its outlines built
    // for `style`.
    CSegmentChar(const SegmentCellKind& kind, std::uint16_t mask, std::uint32_t style);

    const SegmentCellKind& Kind() const { return *m_kind; }
    int GetWidth() const;
    std::uint16_t GetMask() const { return m_mask; }
    int GetSegmentCount() const;
    bool HidesUnlit() const { return m_hideUnlit; }
    bool IsLit(int segment) const { return ((m_mask >> segment) & 1u) != 0; }
    const std::vector<CSegmentOutline>& Outlines() const { return m_outlines; }

    // Strokes and fills every segment (lit ones with the on pen and brush),
    // leaving out unlit ones when they are hidden.
    void Draw(QPainter& dc, const SegmentRect& rect, const QPen& offPen, const QPen& onPen, const QBrush& offBrush,
              const QBrush& onBrush) const;
    // The same from paths already fitted for a rectangle (SegmentPaths), so
    // that a repaint at the same size fits no curve again.
    void DrawPaths(QPainter& dc, const std::vector<QPainterPath>& paths, const QPen& offPen, const QPen& onPen,
                   const QBrush& offBrush, const QBrush& onBrush) const;
    // One closed path per segment, lit or not, fitted for `rect`.
    std::vector<QPainterPath> SegmentPaths(const SegmentRect& rect) const;

    // The device figure of every segment, lit or not, for `rect`.
    std::vector<DeviceFigure> SegmentFigures(const SegmentRect& rect) const;

    // Maps one outline of a cell `width` glyph units wide into `rect`,
    // fitting a cubic to each curve run.
    static DeviceFigure OutlineFigure(const CSegmentOutline& outline, const SegmentRect& rect, int width);
    // Adds the outline's figure to `path` as one closed subpath.
    static void DrawOutline(QPainterPath& path, const CSegmentOutline& outline, const SegmentRect& rect, int width);

private:
    const SegmentCellKind* m_kind;
    std::uint16_t m_mask = 0;
    std::vector<CSegmentOutline> m_outlines;  // one per segment, for the style
    bool m_hideUnlit = false;
};

// A new cell for `ch`, set up for `style`, or none when the character has no
// cell. The byte is taken as signed, so bytes above 0x7F have none.
std::unique_ptr<CSegmentChar> MakeSegmentChar(char ch, std::uint32_t style);
