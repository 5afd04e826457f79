// Curve-run fitting. The input first gives one run of points for
// FitCurveRun directly, then an outline of glyph points with arbitrary point
// kinds and a device rectangle for the whole outline-to-device mapping.
//
// Run:     one byte (k = byte % 8 samples), then (k + 2) points of two
//          little-endian 32-bit integers each, in 1/256 device units.
// Outline: one byte (glyph width 49 or 18 and the point count 2..13), four
//          16-bit values (rect left, top, width, height in 1/4 units), then
//          per point a kind byte and two 16-bit glyph coordinates.

#include "FuzzCheck.h"
#include "controls/segment/CurveFit.h"
#include "controls/segment/SegmentChar.h"
#include "controls/segment/SegmentOutline.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

class Reader
{
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Has(std::size_t bytes) const { return m_size - m_at >= bytes; }
    std::uint8_t Byte() { return Has(1) ? m_data[m_at++] : 0; }
    std::int16_t Int16() { return static_cast<std::int16_t>(Byte() | (Byte() << 8)); }
    std::int32_t Int32()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        }
        return static_cast<std::int32_t>(v);
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

void CheckRun(Reader& in)
{
    const int k = in.Byte() % 8;
    const int count = 2 * (k + 2);
    std::vector<double> samples(static_cast<std::size_t>(count));
    for (double& v : samples) {
        v = in.Int32() / 256.0;
    }
    double controls[4] = {};
    FitCurveRun(samples.data(), count, controls);
    for (const double c : controls) {
        FUZZ_CHECK(std::isfinite(c));
    }
    if (k == 0) {
        return;
    }
    // The search only ever keeps a move that does not make the fit worse, so
    // the result is at least as close as its starting point: each end point
    // reflected through its nearest sample.
    const double* p0 = samples.data();
    const double* s1 = p0 + 2;
    const double* sk = p0 + 2 * k;
    const double* pe = p0 + 2 * (k + 1);
    const double start[4] = {2 * s1[0] - p0[0], 2 * s1[1] - p0[1], 2 * sk[0] - pe[0], 2 * sk[1] - pe[1]};
    const double fitted = CurveRunError(samples.data(), count, controls);
    const double initial = CurveRunError(samples.data(), count, start);
    FUZZ_CHECK(std::isfinite(fitted) && fitted >= 0.0);
    FUZZ_CHECK(fitted <= initial);
}

std::uint8_t KindOf(std::uint8_t byte)
{
    static constexpr std::uint8_t kKinds[] = {SEG_MOVETO, SEG_LINETO, SEG_CURVETO, SEG_CURVETO};
    return kKinds[byte % 4];
}

void CheckOutline(Reader& in)
{
    if (!in.Has(1 + 8)) {
        return;
    }
    const std::uint8_t shape = in.Byte();
    const int width = (shape & 0x80) != 0 ? GLYPH_NARROW : GLYPH_WIDE;
    const int count = 2 + (shape & 0x7F) % 12;
    SegmentRect rect;
    rect.left = in.Int16() / 4.0;
    rect.top = in.Int16() / 4.0;
    rect.right = rect.left + static_cast<std::uint16_t>(in.Int16()) / 4.0;
    rect.bottom = rect.top + static_cast<std::uint16_t>(in.Int16()) / 4.0;

    std::vector<GlyphPoint> points(static_cast<std::size_t>(count));
    std::vector<std::uint8_t> kinds(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        kinds[i] = KindOf(in.Byte());
        points[i] = {in.Int16(), in.Int16()};
    }
    // The same outline with every curve sample taken as a corner: it places
    // every point where the curved figure must start and end its curves.
    std::vector<std::uint8_t> straightKinds = kinds;
    for (std::uint8_t& kind : straightKinds) {
        kind = kind == SEG_CURVETO ? SEG_LINETO : kind;
    }
    const CSegmentOutline curved(points.data(), kinds.data(), count);
    const CSegmentOutline straight(points.data(), straightKinds.data(), count);
    const DeviceFigure figure = CSegmentChar::OutlineFigure(curved, rect, width);
    const DeviceFigure corners = CSegmentChar::OutlineFigure(straight, rect, width);

    // Corners: one per glyph point, each the device position rounded half
    // up. Left of or above the device origin the two readings of "add a half
    // and truncate" part ways, and nothing is drawn there, so only positions
    // from -0.5 on are held to it.
    FUZZ_CHECK(corners.points.size() == static_cast<std::size_t>(count));
    const double sx = (rect.right - rect.left) / width;
    const double sy = (rect.bottom - rect.top) / GLYPH_HEIGHT;
    auto roundedHalfUp = [](int rounded, double exact) {
        const double d = rounded - exact;
        return exact < -0.5 || (d > -0.5 - 1e-9 && d <= 0.5 + 1e-9);
    };
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(roundedHalfUp(corners.points[i].x(), rect.left + points[i].x * sx));
        FUZZ_CHECK(roundedHalfUp(corners.points[i].y(), rect.top + points[i].y * sy));
    }

    const std::vector<CurveRun> runs = curved.CurveRuns();
    std::size_t consumed = 0;
    for (const CurveRun& run : runs) {
        FUZZ_CHECK(run.start > 0 && run.length > 0 && run.start + run.length < count);
        FUZZ_CHECK(kinds[run.start + run.length] == SEG_LINETO);
        consumed += static_cast<std::size_t>(run.length + 1);
    }
    FUZZ_CHECK(figure.points.size() == figure.kinds.size());
    FUZZ_CHECK(figure.points.size() == static_cast<std::size_t>(count) - consumed + 3 * runs.size());
    FUZZ_CHECK(figure.kinds.front() == SEG_MOVETO);

    // Walk both figures: outside the runs they agree point for point; each
    // run is one curve from the pen position to exactly the rounded end point.
    std::size_t at = 0;
    auto run = runs.begin();
    for (int i = 0; i < count; ++i) {
        if (run != runs.end() && run->start == i) {
            FUZZ_CHECK(at > 0 && figure.points[at - 1] == corners.points[static_cast<std::size_t>(i - 1)]);
            for (int c = 0; c < 3; ++c) {
                FUZZ_CHECK(figure.kinds[at + static_cast<std::size_t>(c)] == SEG_CURVETO);
            }
            FUZZ_CHECK(figure.points[at + 2] == corners.points[static_cast<std::size_t>(i + run->length)]);
            at += 3;
            i += run->length;
            ++run;
            continue;
        }
        FUZZ_CHECK(figure.points[at] == corners.points[static_cast<std::size_t>(i)]);
        FUZZ_CHECK(figure.kinds[at] != SEG_CURVETO);
        ++at;
    }
    FUZZ_CHECK(at == figure.points.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 256) {
        return -1;
    }
    Reader in(data, size);
    CheckRun(in);
    CheckOutline(in);
    return 0;
}
