#include "SegmentPaint.h"

#include <algorithm>

namespace {

int Blend(int segment, int back) { return static_cast<int>(0.75 * segment + 0.25 * back); }

}  // namespace

ColorRef SoftOutlineColor(ColorRef segment, ColorRef back)
{
    return Rgb(Blend(RedOf(segment), RedOf(back)), Blend(GreenOf(segment), GreenOf(back)),
               Blend(BlueOf(segment), BlueOf(back)));
}

std::vector<SegmentRect> LayoutSegmentCells(const std::vector<int>& widths, int cw, int ch, bool keepAspect)
{
    std::vector<SegmentRect> rects;
    int total = 0;
    for (int w : widths) {
        total += w;
    }
    if (total <= 0) {
        return rects;
    }
    double sx = static_cast<double>(cw) / total;
    double sy = static_cast<double>(ch) / GLYPH_HEIGHT;
    double x0 = 0.0;
    double y0 = 0.0;
    if (keepAspect) {
        sx = sy = std::min(sx, sy);
        x0 = (cw - total * sx) / 2.0;
        y0 = (ch - GLYPH_HEIGHT * sy) / 2.0;
    }
    rects.reserve(widths.size());
    double x = x0;
    for (int w : widths) {
        rects.push_back({x, y0, x + w * sx, y0 + GLYPH_HEIGHT * sy});
        x += w * sx;
    }
    return rects;
}
