// The level meter: which blocks light for a position, and the ranges and
// positions it refuses.

#include "ControlsTestApp.h"
#include "controls/SkinProgress.h"

#include <QTest>

namespace {

const QColor kGreen(0, 128, 0);
const QColor kBlack(0, 0, 0);

// The main window's bar, 656 x 24, with margin 4, gap 3, 30 blocks 15 high.
constexpr int kBlockWidth = (656 - 2 * 4 - 3 * 29) / 30;
constexpr int kTop = (24 - 15) / 2;

// Lit blocks counted from the left; everything else must be background.
int LitBlocks(CSkinProgress& meter)
{
    const QImage image = Render(meter);
    int lit = 0;
    for (int i = 0; i < 30; ++i) {
        const int left = 4 + i * (kBlockWidth + 3);
        const QColor colour = image.pixelColor(left + kBlockWidth / 2, kTop + 7);
        if (colour == kGreen) {
            EXPECT_EQ(lit++, i) << "lit blocks are contiguous from the left";
            EXPECT_EQ(image.pixelColor(left, kTop), kGreen);
            EXPECT_EQ(image.pixelColor(left + kBlockWidth - 1, kTop + 14), kGreen);
            EXPECT_EQ(image.pixelColor(left + kBlockWidth, kTop), kBlack) << "gap after block " << i;
            EXPECT_EQ(image.pixelColor(left, kTop + 15), kBlack);
        } else {
            EXPECT_EQ(colour, kBlack) << "block " << i;
        }
    }
    return lit;
}

struct Meter {
    QWidget parent;
    CSkinProgress* meter = new CSkinProgress(&parent);
    Meter()
    {
        meter->resize(656, 24);
        meter->SetRange(0, 255);
    }
};

TEST(ProgressPaint, PositionLightsPosTimes30Over255Blocks)
{
    Meter m;
    for (const auto& [position, blocks] : {std::pair{0, 0}, std::pair{8, 0}, std::pair{9, 1}, std::pair{16, 1},
                                           std::pair{17, 2}, std::pair{254, 29}, std::pair{255, 30}}) {
        m.meter->SetPos(static_cast<std::int16_t>(position));
        EXPECT_EQ(LitBlocks(*m.meter), blocks) << "position " << position;
    }
}

TEST(ProgressRange, InvalidRangesAndOutsidePositionsAreIgnored)
{
    Meter m;
    m.meter->SetPos(100);
    // 70000 does not fit the meter's 16-bit ends: refused, not wrapped.
    for (const auto& [lower, upper] : {std::pair{0, 0}, std::pair{-1, 10}, std::pair{10, 5}, std::pair{0, 70000}}) {
        m.meter->SetRange(lower, upper);
        EXPECT_EQ(std::pair(m.meter->GetLower(), m.meter->GetUpper()), std::pair(0, 255)) << lower << ".." << upper;
    }
    m.meter->SetPos(256);
    m.meter->SetPos(-1);
    EXPECT_EQ(m.meter->GetPos(), 100) << "ignored, not clamped";
    EXPECT_EQ(LitBlocks(*m.meter), 100 * 30 / 255);
    m.meter->SetRange(200, 255);  // leaves the position, now below the range
    EXPECT_EQ(m.meter->GetPos(), 100);
    EXPECT_EQ(LitBlocks(*m.meter), 0);
}

TEST(ProgressPaint, BarTooNarrowForItsBlocksShowsOnlyBackground)
{
    Meter m;
    m.meter->resize(50, 24);
    m.meter->SetPos(255);
    const QImage image = Render(*m.meter);
    for (int x = 0; x < 50; ++x) {
        ASSERT_EQ(image.pixelColor(x, 12), kBlack) << x;
    }
}

}  // namespace

// A stored position or range repaints the shown meter by itself; a refused
// one asks for nothing.
TEST(ProgressPaint, StoredSettingsRepaintWithoutBeingAsked)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    Meter m;
    m.parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m.parent));
    m.meter->installEventFilter(&counter);
    const auto paintsAfter = [&](auto change) {
        QCoreApplication::processEvents();
        counter.paints = 0;
        change();
        QCoreApplication::processEvents();
        return counter.paints;
    };
    EXPECT_GE(paintsAfter([&] { m.meter->SetPos(100); }), 1);
    EXPECT_GE(paintsAfter([&] { m.meter->SetRange(0, 200); }), 1);
    EXPECT_EQ(paintsAfter([&] { m.meter->SetPos(300); }), 0);
    EXPECT_EQ(paintsAfter([&] { m.meter->SetRange(10, 5); }), 0);
}
