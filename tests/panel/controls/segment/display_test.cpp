// The segment display widget: change rules, cell list, layout and pixels.
#include "common/DecimalCommaLocale.h"
#include "controls/segment/SegmentDisplay.h"
#include "controls/segment/SegmentPaint.h"
#include "test_support.h"

#include <QApplication>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <tuple>

namespace {

class QtApp : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "controls_segment_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override { delete m_app; }

private:
    QApplication* m_app = nullptr;
};
[[maybe_unused]] ::testing::Environment* const g_app = ::testing::AddGlobalTestEnvironment(new QtApp);

constexpr ColorRef kBlue = Rgb(150, 150, 255);
constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kGreen = Rgb(0, 200, 0);

QRgb Rgb(ColorRef c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)) & 0xFFFFFF; }

// Paints that a change causes on a shown display.
int PaintsAfter(CSegmentDisplay& d, const std::function<void()>& change)
{
    if (!d.isVisible()) {
        d.resize(120, 60);
        d.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
    }
    QCoreApplication::processEvents();
    const int before = d.PaintCount();
    change();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return d.PaintCount() - before;
}

QSet<QRgb> Colours(const QImage& image, QRect* notBlack = nullptr)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) & 0xFFFFFF;
            colours.insert(c);
            if (notBlack != nullptr && c != 0) {
                *notBlack |= QRect(x, y, 1, 1);
            }
        }
    }
    return colours;
}

}  // namespace

TEST(SegmentDisplayState, UnchangedValuesCauseNoRepaint)
{
    CSegmentDisplay d;
    EXPECT_GE(PaintsAfter(d, [&] { d.SetText("12.5"); }), 1);
    EXPECT_EQ(PaintsAfter(d, [&] { d.SetText("12.5"); }), 0);
    EXPECT_EQ(PaintsAfter(d, [&] { d.FormatText("%2.1lf", 12.5); }), 0);
    EXPECT_GE(PaintsAfter(d, [&] { d.FormatText("%2.1lf", 12.6); }), 1);
    EXPECT_GE(PaintsAfter(d, [&] { d.SetSegmentColors(kBlue, kBlue); }), 1);
    EXPECT_EQ(PaintsAfter(d, [&] { d.SetSegmentColors(kBlue, kBlue); }), 0);

    ColorRef previous = 1;
    EXPECT_GE(PaintsAfter(d, [&] { previous = d.SetBackColor(kGreen); }), 1);
    EXPECT_EQ(previous, Rgb(0, 0, 0));
    EXPECT_EQ(PaintsAfter(d, [&] { previous = d.SetBackColor(kGreen); }), 0);
    EXPECT_EQ(previous, kGreen);

    // Lower case is stored upper-cased, so the same lower-case text is a change.
    EXPECT_GE(PaintsAfter(d, [&] { d.SetText("az"); }), 1);
    EXPECT_EQ(d.Text(), "AZ");
    EXPECT_GE(PaintsAfter(d, [&] { d.SetText("az"); }), 1);
}

TEST(SegmentDisplayState, StyleChangesRebuildColourChangesDoNot)
{
    CSegmentDisplay d;
    EXPECT_EQ(d.Text(), "?");
    EXPECT_EQ(d.OffColor(), Rgb(0, 52, 0));
    EXPECT_EQ(d.OnColor(), Rgb(0, 255, 0));
    EXPECT_EQ(d.Style(), SEGSTYLE_KEEP_ASPECT | SEGSTYLE_SOFT_OUTLINE);
    EXPECT_TRUE(d.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_GE(PaintsAfter(d, [&] { d.SetText("88"); }), 1);
    const CSegmentChar* first = d.Chars()[0].get();

    bool result = true;
    EXPECT_EQ(PaintsAfter(d, [&] { result = d.ModifySegmentStyle(SEGSTYLE_KEEP_ASPECT, SEGSTYLE_KEEP_ASPECT); }), 0);
    EXPECT_FALSE(result);
    EXPECT_EQ(d.Style(), SEGSTYLE_KEEP_ASPECT | SEGSTYLE_SOFT_OUTLINE);

    d.SetSegmentColors(kRed, kGreen);
    EXPECT_EQ(d.Chars()[0].get(), first);

    EXPECT_GE(PaintsAfter(d, [&] { result = d.ModifySegmentStyle(0, 0); }), 1);
    EXPECT_TRUE(result);
    d.ModifySegmentStyle(SEGSTYLE_KEEP_ASPECT, SEGSTYLE_ALPHA_DIGITS);
    EXPECT_EQ(d.Style(), SEGSTYLE_ALPHA_DIGITS | SEGSTYLE_SOFT_OUTLINE);
    EXPECT_EQ(d.Chars()[0]->GetSegmentCount(), 14);
}

TEST(SegmentDisplayState, TextSourcesAndFormats)
{
    CSegmentDisplay d;
    d.setWindowTitle("0.0");  // "?" shows the control's own text
    EXPECT_EQ(d.Chars().size(), 3u);
    EXPECT_EQ(d.Text(), "0.0");
    d.SetText("12");
    d.setWindowTitle("mono");
    d.SetText("?");
    EXPECT_EQ(d.Chars().size(), 4u);
    EXPECT_EQ(d.Text(), "MONO");

    d.FormatText("%3.1lf", 1000 / 10.0);
    EXPECT_EQ(d.Text(), "100.0");
    d.FormatText("%02d", 7);
    EXPECT_EQ(d.Text(), "07");
    const std::string longText(300, '8');  // kept whole, never cut off
    d.FormatText("%s", longText.c_str());
    EXPECT_EQ(d.Text(), longText);
    d.SetText(nullptr);  // taken as an empty text
    EXPECT_EQ(d.Text(), "");

    d.FormatText("%2.1lf", -1.5);
    const auto& cells = d.Chars();
    ASSERT_EQ(cells.size(), 4u);
    const int widths[] = {49, 49, 18, 49};
    const std::uint16_t masks[] = {LitMask({3}), LitMask({2, 5}), LitMask({2}), LitMask({0, 1, 3, 5, 6})};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(cells[i]->GetWidth(), widths[i]);
        EXPECT_EQ(cells[i]->GetMask(), masks[i]);
    }
}

TEST(SegmentDisplayState, FormatsAsTheCLocaleWhateverTheUsersLocale)
{
    const testlocale::Scoped decimalComma;
    ASSERT_TRUE(decimalComma.Active());
    CSegmentDisplay d;
    // The readouts' formats, with tenths as far as a reading's int goes.
    const std::tuple<const char*, double, const char*> cases[] = {{"%3.1lf", 100.0, "100.0"},
                                                                  {"%3.1lf", 0.5, "0.5"},
                                                                  {"%3.1lf", 1.5, "1.5"},
                                                                  {"%2.1lf", INT_MAX * 0.1, "214748364.7"},
                                                                  {"%2.1lf", INT_MIN * 0.1, "-214748364.8"}};
    for (const auto& [format, value, shown] : cases) {
        d.FormatText(format, value);
        EXPECT_EQ(d.Text(), shown) << format;
    }
    d.FormatText("%02d", 7);
    EXPECT_EQ(d.Text(), "07");
    d.FormatText("%02d", -7);
    EXPECT_EQ(d.Text(), "-7");
}

TEST(SegmentDisplayLayout, KeepAspectCentresAndStretchFills)
{
    CSegmentDisplay d;
    d.SetText("0.0");    // 49 + 18 + 49 = 116 glyph units
    d.resize(400, 166);  // wide: scale 2 from the height, centred across
    auto r = d.CellRects();
    ASSERT_EQ(r.size(), 3u);
    EXPECT_DOUBLE_EQ(r[0].left, (400 - 232) / 2.0);
    EXPECT_DOUBLE_EQ(r[2].right, 400 - 84.0);
    EXPECT_DOUBLE_EQ(r[0].bottom - r[0].top, 166.0);

    d.resize(232, 400);  // tall: scale 2 from the width, centred down
    r = d.CellRects();
    EXPECT_DOUBLE_EQ(r[2].right, 232.0);
    EXPECT_DOUBLE_EQ(r[0].top, (400 - 166) / 2.0);

    d.ModifySegmentStyle(SEGSTYLE_KEEP_ASPECT, 0);
    d.resize(300, 50);
    r = d.CellRects();
    EXPECT_DOUBLE_EQ(r[1].left, 49 * 300 / 116.0);
    EXPECT_DOUBLE_EQ(r[2].right, 300.0);
    EXPECT_DOUBLE_EQ(r[0].bottom, 50.0);
}

TEST(SegmentDisplayLayout, LongTextShrinksToFit)
{
    CSegmentDisplay d;
    d.resize(200, 60);
    d.ModifySegmentStyle(0, SEGSTYLE_CURVED);
    d.SetText("-188.88:88 ABCDE+*/");
    const auto rects = d.CellRects();
    ASSERT_EQ(rects.size(), d.Chars().size());
    EXPECT_NEAR(rects.back().right, 200.0, 1e-9);
    EXPECT_GT(rects[0].top, 0.0);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        for (const DeviceFigure& f : d.Chars()[i]->SegmentFigures(rects[i])) {
            for (std::size_t k = 0; k < f.points.size(); ++k) {
                k += (f.kinds[k] == SEG_CURVETO) ? 2 : 0;  // controls may lie off the outline
                EXPECT_TRUE(QRect(0, 0, 201, 61).contains(f.points[k])) << i;
            }
        }
    }
}

TEST(SegmentDisplayPaint, SoftOutlineBlendsTowardsTheBackground)
{
    EXPECT_EQ(SoftOutlineColor(kBlue, Rgb(0, 0, 0)), Rgb(112, 112, 191));
    EXPECT_EQ(SoftOutlineColor(Rgb(0, 0, 0), Rgb(255, 255, 255)), Rgb(63, 63, 63));

    CSegmentDisplay d;
    d.resize(120, 80);
    // The main window's set-up of each of its displays.
    d.SetBackColor(Rgb(0, 0, 0));
    d.SetSegmentColors(kBlue, kBlue);
    d.SetText("8");
    d.ModifySegmentStyle(0, SEGSTYLE_KEEP_ASPECT | SEGSTYLE_HIDE_UNLIT);
    EXPECT_EQ(d.Style(), 0x1Cu);
    EXPECT_EQ(Colours(d.grab().toImage()), (QSet<QRgb>{Rgb(0), Rgb(kBlue), Rgb(Rgb(112, 112, 191))}));
    d.ModifySegmentStyle(SEGSTYLE_SOFT_OUTLINE, 0);
    EXPECT_EQ(Colours(d.grab().toImage()), (QSet<QRgb>{Rgb(0), Rgb(kBlue)}));
}

TEST(SegmentDisplayPaint, PaintedTextIsCentred)
{
    CSegmentDisplay d;
    d.SetSegmentColors(kRed, kGreen);
    d.SetText("0.0");
    d.ModifySegmentStyle(0, SEGSTYLE_HIDE_UNLIT);
    d.resize(400, 166);
    QRect box;
    Colours(d.grab().toImage(), &box);
    EXPECT_NEAR(box.center().x(), 200, 2);
    EXPECT_TRUE(box.top() <= 10 && box.bottom() >= 155);
    d.resize(232, 400);
    box = {};
    Colours(d.grab().toImage(), &box);
    EXPECT_NEAR(box.center().y(), 200, 2);
    EXPECT_TRUE(box.left() <= 10 && box.right() >= 221);
}

TEST(SegmentDisplayPaint, HiddenUnlitAndUndisplayableTextsLeaveOnlyBackground)
{
    CSegmentDisplay d;
    d.resize(100, 60);
    d.SetBackColor(kGreen);
    d.SetSegmentColors(kRed, kBlue);
    d.SetText(" ");
    EXPECT_TRUE(Colours(d.Compose()).contains(Rgb(kRed)));  // unlit segments drawn
    d.ModifySegmentStyle(0, SEGSTYLE_HIDE_UNLIT);
    EXPECT_EQ(Colours(d.Compose()), QSet<QRgb>{Rgb(kGreen)});
    EXPECT_EQ(d.CellRects().size(), 1u);  // the space still takes its place

    d.ModifySegmentStyle(SEGSTYLE_HIDE_UNLIT, SEGSTYLE_CURVED);
    for (const char* text : {"", ",;%?#", "\xB0\xE9"}) {
        d.SetText(text);
        EXPECT_EQ(Colours(d.grab().toImage()), QSet<QRgb>{Rgb(kGreen)}) << text;
    }
    // Curved lit segments: the minus bar crosses the middle of its cell.
    d.ModifySegmentStyle(0, SEGSTYLE_HIDE_UNLIT);
    d.SetText("-1");
    const QImage image = d.Compose();
    const auto r = d.CellRects();
    EXPECT_FALSE(Colours(image).contains(Rgb(kRed)));
    EXPECT_EQ(image.pixel(static_cast<int>((r[0].left + r[0].right) / 2),
                          static_cast<int>(r[0].top + 41 * (r[0].bottom - r[0].top) / 83)) &
                  0xFFFFFF,
              Rgb(kBlue));
}

// The fitted segment paths are kept per text, style and size: a repaint
// without a change fits nothing, and what it paints is pixel for pixel what a
// display fitting afresh paints.
TEST(SegmentDisplayPaint, RepaintsReuseTheFittedPathsPixelForPixel)
{
    const auto fresh = [](std::uint32_t style, const char* text, QSize size) {
        CSegmentDisplay d;
        d.resize(size);
        d.ModifySegmentStyle(0, style);
        d.SetText(text);
        return d.Compose();
    };
    for (std::uint32_t style : {0u, std::uint32_t{SEGSTYLE_CURVED}, SEGSTYLE_CURVED | SEGSTYLE_HIDE_UNLIT}) {
        CSegmentDisplay d;
        d.resize(400, 150);
        d.ModifySegmentStyle(0, style);
        d.SetText("-88.88");
        const QImage first = d.Compose();
        EXPECT_EQ(d.FitCount(), 1) << style;
        EXPECT_EQ(d.Compose(), first) << style;
        EXPECT_EQ(d.FitCount(), 1) << "refitted without a change, style " << style;

        d.resize(200, 90);
        EXPECT_EQ(d.Compose(), fresh(style, "-88.88", QSize(200, 90))) << style;
        d.SetText("12:34");
        EXPECT_EQ(d.Compose(), fresh(style, "12:34", QSize(200, 90))) << style;
        d.ModifySegmentStyle(SEGSTYLE_CURVED, 0);
        EXPECT_EQ(d.Compose(), fresh(style & ~std::uint32_t{SEGSTYLE_CURVED}, "12:34", QSize(200, 90))) << style;
        EXPECT_EQ(d.FitCount(), 4) << "one fit per change of size, text and style, style " << style;
        EXPECT_EQ(first, fresh(style, "-88.88", QSize(400, 150))) << style;
    }
}
