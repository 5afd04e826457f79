// What the skinned slider draws: ticks from the channel rectangle, the thumb
// image, a black frame, and no repainting beyond the moving thumb.

#include "ControlsTestApp.h"
#include "controls/Resources.h"
#include "controls/SkinSlider.h"

#include <QPaintEvent>
#include <QTest>
#include <vector>

namespace {

const QColor kSliderBlack(0, 0, 0);
const QColor kTickGrey(208, 208, 208);

// Left edges of the runs of `colour` along row y.
std::vector<int> RunsOf(const QImage& image, int y, const QColor& colour)
{
    std::vector<int> starts;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y) == colour && (x == 0 || image.pixelColor(x - 1, y) != colour)) {
            starts.push_back(x);
        }
    }
    return starts;
}

class SliderTicks : public ::testing::TestWithParam<std::pair<int, int>>
{};

TEST_P(SliderTicks, TwentyOneFromTheChannelEveryTenthLong)
{
    CSkinSlider slider;
    slider.resize(596, 25);
    slider.SetRange(GetParam().first, GetParam().second);
    slider.SetPos(GetParam().second);
    const QImage image = Render(slider);
    const QRect rc = slider.ChannelRect();
    const int spacing = rc.width() / 20;
    // Short ticks reach 5 pixels above the channel, long ones 8.
    const std::vector<int> all = RunsOf(image, rc.top() - 5, kTickGrey);
    ASSERT_EQ(all.size(), 21u);
    for (int i = 0; i <= 20; ++i) {
        EXPECT_EQ(all[static_cast<std::size_t>(i)], rc.left() + 5 + i * spacing) << "tick " << i;
    }
    const std::vector<int> longOnes = RunsOf(image, rc.top() - 8, kTickGrey);
    const int first = rc.left() + 5;
    EXPECT_EQ(longOnes, (std::vector<int>{first, first + 10 * spacing, first + 20 * spacing}));
    EXPECT_EQ(image.pixelColor(first + 1, rc.top() - 8), kTickGrey) << "long ticks are 2 pixels wide";
    EXPECT_EQ(image.pixelColor(first + spacing + 1, rc.top() - 5), kSliderBlack) << "short ones 1";
    // The thumb image sits on the thumb, its centre on the last tick.
    const QRect thumb = CSkinSlider::ThumbImageRect(slider.ThumbRect());
    EXPECT_EQ(image.copy(thumb), LoadBitmapResource(IDB_THUMB).toImage().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(thumb.left() + 9, first + 20 * spacing);
}

// The ticks depend on the channel, not on the range.
INSTANTIATE_TEST_SUITE_P(Ranges, SliderTicks,
                         ::testing::Values(std::pair{1, 13}, std::pair{870, 1080}, std::pair{3, 150}));

TEST(SliderPaint, BlackFrameCoversEvenAThumbThatOverhangs)
{
    CSkinSlider slider;
    slider.resize(22, 25);  // too narrow: the thumb image reaches the right edge
    slider.SetRange(0, 10);
    slider.SetPos(10);
    ASSERT_GE(CSkinSlider::ThumbImageRect(slider.ThumbRect()).right(), 21);
    const QImage image = Render(slider);
    for (int y = 0; y < 25; ++y) {
        EXPECT_EQ(image.pixelColor(21, y), kSliderBlack) << "row " << y;
        EXPECT_EQ(image.pixelColor(0, y), kSliderBlack) << "row " << y;
    }
    for (int x = 0; x < 22; ++x) {
        EXPECT_EQ(image.pixelColor(x, 0), kSliderBlack);
        EXPECT_EQ(image.pixelColor(x, 24), kSliderBlack);
    }
}

class PaintCountingSlider : public CSkinSlider
{
public:
    int paints = 0;
    QRect lastArea;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        ++paints;
        lastArea = event->rect();
        CSkinSlider::paintEvent(event);
    }
};

TEST(SliderPaint, MovingTheThumbRepaintsOnlyAroundItAndThenStops)
{
    PaintCountingSlider slider;
    slider.resize(596, 25);
    slider.SetRange(870, 1080);
    slider.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
    QTest::qWait(50);
    slider.paints = 0;
    slider.SetPos(880);
    QTest::qWait(50);
    ASSERT_GE(slider.paints, 1);
    EXPECT_LT(slider.lastArea.width(), 596 / 4);
    const int settled = slider.paints;
    QTest::qWait(100);
    EXPECT_EQ(slider.paints, settled) << "a paint must not ask for another";
}

}  // namespace
