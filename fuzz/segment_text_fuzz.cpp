// Text to segment cells. Input: one byte whose low five bits are the display
// style and whose top three bits pick the control's size, then the text.
// Every byte goes through MakeSegmentChar on its own; the text up to its
// first zero also goes through a display, which upper-cases it first.

#include "FuzzCheck.h"
#include "controls/segment/SegmentChar.h"
#include "controls/segment/SegmentDisplay.h"
#include "controls/segment/SegmentOutline.h"
#include "controls/segment/SegmentStyle.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kAllStyles =
    SEGSTYLE_CURVED | SEGSTYLE_ALPHA_DIGITS | SEGSTYLE_KEEP_ASPECT | SEGSTYLE_HIDE_UNLIT | SEGSTYLE_SOFT_OUTLINE;

struct CellKind {
    bool exists = false;
    int width = 0;
    int segments = 0;
};

// Which cell a byte gets, straight from the character set of the display.
CellKind ExpectedCell(char ch, std::uint32_t style)
{
    if (ch == '.' || ch == ':') {
        return {true, 18, 3};
    }
    if ((ch >= '0' && ch <= '9') || ch == ' ' || ch == '-') {
        return {true, 49, (style & SEGSTYLE_ALPHA_DIGITS) != 0 ? 14 : 7};
    }
    if ((ch >= 'A' && ch <= 'Z') || (ch != '\0' && std::strchr("*+()\\/'", ch) != nullptr)) {
        return {true, 49, 14};
    }
    return {};
}

void CheckCell(const CSegmentChar& cell, const CellKind& kind, std::uint32_t style)
{
    FUZZ_CHECK(cell.GetWidth() == 49 || cell.GetWidth() == 18);
    FUZZ_CHECK(cell.GetWidth() == kind.width);
    FUZZ_CHECK(cell.GetSegmentCount() == kind.segments);
    FUZZ_CHECK(static_cast<int>(cell.Outlines().size()) == kind.segments);
    FUZZ_CHECK((cell.GetMask() >> kind.segments) == 0);
    FUZZ_CHECK(cell.HidesUnlit() == ((style & SEGSTYLE_HIDE_UNLIT) != 0));
    for (const CSegmentOutline& outline : cell.Outlines()) {
        FUZZ_CHECK(outline.Count() >= 4);
        FUZZ_CHECK(outline.Kinds().front() == SEG_MOVETO);
        for (std::size_t i = 0; i < outline.Points().size(); ++i) {
            const GlyphPoint p = outline.Points()[i];
            // Every outline lies inside its cell, margins included.
            FUZZ_CHECK(p.x >= 0 && p.x < cell.GetWidth() && p.y >= 0 && p.y < 83);
            const std::uint8_t kind = outline.Kinds()[i];
            FUZZ_CHECK(kind == SEG_LINETO || kind == SEG_CURVETO || (kind == SEG_MOVETO && i == 0));
        }
        // Curved outlines are built only for the curved style, and every run
        // of samples can be fitted.
        std::size_t samples = 0;
        for (const CurveRun& run : outline.CurveRuns()) {
            samples += static_cast<std::size_t>(run.length);
        }
        const auto bezier =
            static_cast<std::size_t>(std::count(outline.Kinds().begin(), outline.Kinds().end(), SEG_CURVETO));
        FUZZ_CHECK(samples == bezier);
        FUZZ_CHECK(bezier == 0 || (style & SEGSTYLE_CURVED) != 0);
    }
}

CSegmentDisplay* SharedDisplay()
{
    static CSegmentDisplay* display = [] {
        auto* d = new CSegmentDisplay;
        d->setWindowTitle(QString());  // what "?" shows
        return d;
    }();
    return display;
}

void CheckLayout(CSegmentDisplay& display, const std::vector<int>& widths)
{
    const std::vector<SegmentRect> rects = display.CellRects();
    FUZZ_CHECK(rects.size() == widths.size());
    const double cw = display.width();
    const double ch = display.height();
    constexpr double kSlack = 1e-6;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const SegmentRect& r = rects[i];
        FUZZ_CHECK(std::isfinite(r.left) && std::isfinite(r.right) && std::isfinite(r.top) && std::isfinite(r.bottom));
        FUZZ_CHECK(r.left >= -kSlack && r.right <= cw + kSlack * (1 + cw) && r.left <= r.right);
        FUZZ_CHECK(r.top >= -kSlack && r.bottom <= ch + kSlack * (1 + ch) && r.top <= r.bottom);
        if (i > 0) {
            FUZZ_CHECK(std::fabs(r.left - rects[i - 1].right) <= kSlack * (1 + cw));
            // Cells are as wide as their glyphs say, on one scale.
            const double perUnit = (r.right - r.left) / widths[i];
            const double firstPerUnit = (rects[0].right - rects[0].left) / widths[0];
            FUZZ_CHECK(std::fabs(perUnit - firstPerUnit) <= kSlack * (1 + firstPerUnit));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argc > 0) ? (*argv)[0] : nullptr, nullptr};
    static QApplication app(qtArgc, qtArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 512) {
        return -1;
    }
    const std::uint32_t style = data[0] & kAllStyles;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::size_t cells = 0;
    for (const char ch : text) {
        const CellKind kind = ExpectedCell(ch, style);
        const std::unique_ptr<CSegmentChar> cell = MakeSegmentChar(ch, style);
        FUZZ_CHECK(static_cast<bool>(cell) == kind.exists);
        if (cell) {
            CheckCell(*cell, kind, style);
            ++cells;
        }
    }
    FUZZ_CHECK(cells <= text.size());

    static constexpr int kSizes[8][2] = {{200, 60}, {60, 200},  {1, 1},   {0, 0},
                                         {116, 83}, {1000, 10}, {7, 500}, {320, 48}};
    const int* clientSize = kSizes[data[0] >> 5];
    CSegmentDisplay& display = *SharedDisplay();
    display.resize(clientSize[0], clientSize[1]);
    FUZZ_CHECK(display.ModifySegmentStyle(kAllStyles & ~style, style));
    FUZZ_CHECK(display.Style() == style);

    const std::string shown(text.c_str());  // the display takes a C string
    display.SetText(shown.c_str());
    std::string upper = shown == "?" ? std::string() : shown;
    for (char& c : upper) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    std::vector<int> widths;
    for (const char ch : upper) {
        if (const CellKind kind = ExpectedCell(ch, style); kind.exists) {
            widths.push_back(kind.width);
        }
    }
    const auto& chars = display.Chars();
    FUZZ_CHECK(chars.size() == widths.size());
    FUZZ_CHECK(display.Text() == upper);
    for (std::size_t i = 0; i < chars.size(); ++i) {
        FUZZ_CHECK(chars[i]->GetWidth() == widths[i]);
    }
    if (!widths.empty()) {
        CheckLayout(display, widths);
    }
    // Painting fits every curve run; kept to short texts so runs stay fast.
    if (chars.size() <= 4) {
        const QImage image = display.Compose();
        FUZZ_CHECK(image.isNull() == (display.width() <= 0 || display.height() <= 0));
    }
    return 0;
}
