// How the skinned slider answers the wheel, the keyboard and the mouse, and
// what it tells its owner.

#include "ControlsTestApp.h"
#include "common/DecimalCommaLocale.h"
#include "controls/SkinSlider.h"
#include "controls/SkinSliderTenths.h"
#include "controls/TrackingTip.h"

#include <QProxyStyle>
#include <QStyleFactory>
#include <QTest>
#include <QWheelEvent>
#include <set>
#include <vector>

namespace {

using Positions = std::vector<int>;

struct SliderRig {
    QWidget parent;
    CSkinSlider* slider;
    Positions commits;
    std::vector<int> wheelSteps;  // positions

    SliderRig(int minimum, int maximum, int position, CSkinSlider* s = nullptr) : slider(s ? s : new CSkinSlider)
    {
        slider->setParent(&parent);
        slider->setGeometry(0, 0, 596, 25);
        slider->SetRange(minimum, maximum);
        slider->SetPos(position);
        QObject::connect(slider, &CSkinSlider::valueCommitted, [this](int pos) {
            EXPECT_EQ(pos, slider->GetPos()) << "committed before the position moved";
            commits.push_back(pos);
        });
        QObject::connect(slider, &CSkinSlider::wheelStep, [this](int pos) {
            EXPECT_EQ(pos, slider->GetPos()) << "signalled before the position moved";
            wheelSteps.push_back(pos);
        });
    }
    QPoint Thumb() const { return slider->ThumbRect().center(); }
};

TEST(SliderWheel, OneStepPerEventSignalled)
{
    struct Case {
        int start, delta, expected;
    } const cases[] = {
        {10, 120, 11}, {10, -120, 9}, {10, 0, 9},  // no turn counts as down
        {10, 960, 11}, {10, -15, 9},               // any size is one step
        {1, -120, 1},  {30, 120, 30},              // clamped, and still signalled
    };
    for (const Case& c : cases) {
        SliderRig rig(1, 30, c.start);
        QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, c.delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(rig.slider, &wheel);
        EXPECT_EQ(rig.slider->GetPos(), c.expected) << c.start << " by " << c.delta;
        EXPECT_EQ(rig.wheelSteps, std::vector<int>{c.expected});
        EXPECT_TRUE(rig.commits.empty()) << "a wheel step is signalled on its own";
    }
}

TEST(SliderKeyboard, LineAndPageKeysCommitHomeAndEndOnlyMove)
{
    const std::tuple<Qt::Key, bool, int> cases[] = {
        {Qt::Key_Right, true, 11},    {Qt::Key_Down, true, 11},  {Qt::Key_Left, true, 9},  {Qt::Key_Up, true, 9},
        {Qt::Key_PageDown, true, 15}, {Qt::Key_PageUp, true, 5}, {Qt::Key_Home, false, 1}, {Qt::Key_End, false, 30},
    };
    for (const auto& [key, commits, expected] : cases) {
        SliderRig rig(1, 30, 10);
        QTest::keyClick(rig.slider, key);
        EXPECT_EQ(rig.slider->GetPos(), expected) << "key " << key;
        EXPECT_EQ(rig.commits, commits ? Positions{expected} : Positions{}) << "key " << key;
    }
}

TEST(SliderMouse, DragOnlyMovesAndTheReleaseCommitsThePosition)
{
    SliderRig rig(870, 1080, 870);
    const QPoint grab = rig.Thumb();
    Mouse(rig.slider, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    Positions dragged;
    for (int dx = 50; dx <= 700; dx += 50) {
        Mouse(rig.slider, QEvent::MouseMove, grab + QPoint(dx, 0), Qt::LeftButton);
        dragged.push_back(rig.slider->GetPos());
    }
    EXPECT_GE(std::set<int>(dragged.begin(), dragged.end()).size(), 10u) << "the thumb follows the pointer";
    EXPECT_EQ(dragged.back(), 1080) << "dragged past the right end";
    EXPECT_TRUE(rig.commits.empty());
    Mouse(rig.slider, QEvent::MouseButtonRelease, grab + QPoint(700, 0), Qt::NoButton);
    EXPECT_EQ(rig.commits, Positions{1080});
}

TEST(SliderMouse, ClickInTheChannelPagesAndSetPosSendsNothing)
{
    SliderRig rig(1, 30, 10);
    const QPoint right(rig.slider->ThumbRect().right() + 200, 2);  // above the channel lines
    Mouse(rig.slider, QEvent::MouseButtonPress, right, Qt::LeftButton);
    Mouse(rig.slider, QEvent::MouseButtonRelease, right, Qt::NoButton);
    rig.slider->SetPos(3);
    EXPECT_EQ(rig.commits, Positions{15});
}

TEST(SliderTip, FloatsAboveTheThumbWhileDraggingAndEachClassHasItsOwn)
{
    SliderRig rig(870, 1080, 1080, new CSkinSliderTenths);
    CTrackingTip* tip = rig.slider->TipWindow();
    Mouse(rig.slider, QEvent::MouseButtonPress, rig.Thumb(), Qt::LeftButton);
    EXPECT_FALSE(tip->isVisible()) << "pressing without moving shows no tip";
    Mouse(rig.slider, QEvent::MouseMove, rig.Thumb() + QPoint(5, 0), Qt::LeftButton);
    ASSERT_TRUE(tip->isVisible());
    EXPECT_EQ(tip->text(), QStringLiteral("108.0"));
    Mouse(rig.slider, QEvent::MouseMove, QPoint(300, 10), Qt::LeftButton);
    EXPECT_EQ(tip->text(), QString::asprintf("%d.%d", rig.slider->GetPos() / 10, rig.slider->GetPos() % 10));
    EXPECT_EQ(tip->pos(), rig.slider->mapToGlobal(QPoint(rig.slider->ThumbRect().left() - 5, -15)));
    Mouse(rig.slider, QEvent::MouseButtonRelease, QPoint(300, 10), Qt::NoButton);
    EXPECT_FALSE(tip->isVisible());

    CSkinSliderTenths power;
    CSkinSlider line, mic;
    EXPECT_EQ(power.TipWindow(), tip);
    EXPECT_EQ(line.TipWindow(), mic.TipWindow());
    EXPECT_NE(line.TipWindow(), tip);
}

TEST(SliderPaging, PageIsAFifthOfTheRangeUntilOneIsSet)
{
    // The panel's four ranges, and a range too small for a fifth.
    const std::tuple<int, int, int> cases[] = {{870, 1080, 42}, {3, 150, 29}, {1, 13, 2}, {1, 30, 5}, {0, 3, 1}};
    for (const auto& [minimum, maximum, page] : cases) {
        CSkinSlider slider;
        slider.SetRange(minimum, maximum);
        EXPECT_EQ(slider.pageStep(), page) << minimum << ".." << maximum;
    }
    CSkinSlider slider;
    slider.SetPageSize(7);
    slider.SetRange(0, 100);
    EXPECT_EQ(slider.pageStep(), 7) << "a page size that was set stays";

    SliderRig line(1, 13, 7);
    const QPoint right(line.slider->ThumbRect().right() + 100, 2);
    Mouse(line.slider, QEvent::MouseButtonPress, right, Qt::LeftButton);
    Mouse(line.slider, QEvent::MouseButtonRelease, right, Qt::NoButton);
    EXPECT_EQ(line.commits, Positions{9});
}

// Pressed through the window system, so that the button counts as held
// while the page steps repeat.
TEST(SliderPaging, HeldPressPagesTowardsThePointerAndStopsThere)
{
    struct Case {
        int pointerFromThumb;  // pixels right of the thumb's right edge
        int holdMs;
    } const cases[] = {{3, 1200}, {300, 2500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pointerFromThumb);
        SliderRig power(3, 150, 30);
        power.parent.resize(596, 25);
        power.parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&power.parent));
        const QPoint pointer(power.slider->ThumbRect().right() + c.pointerFromThumb, 12);
        QTest::mousePress(power.slider, Qt::LeftButton, Qt::NoModifier, pointer);
        QTest::qWait(c.holdMs);
        QTest::mouseRelease(power.slider, Qt::LeftButton, Qt::NoModifier, pointer);

        ASSERT_GE(power.commits.size(), 1u);
        const int last = power.slider->GetPos();
        EXPECT_LT(last, 150) << "paged on past the pointer";
        EXPECT_GE(power.slider->ThumbRect().right(), pointer.x()) << "stopped short of the pointer";
        for (std::size_t i = 0; i < power.commits.size(); ++i) {
            EXPECT_EQ(power.commits[i], 30 + 29 * static_cast<int>(i + 1));
        }
    }
}

TEST(SliderMouse, OnlyTheLeftButtonActsWhateverTheDesktopStyle)
{
    for (const QString& name : QStyleFactory::keys()) {
        for (const Qt::MouseButton button : {Qt::MiddleButton, Qt::RightButton}) {
            SCOPED_TRACE(name.toStdString() + (button == Qt::MiddleButton ? " middle" : " right"));
            SliderRig rig(1, 30, 10);
            static_cast<QProxyStyle*>(rig.slider->style())->setBaseStyle(QStyleFactory::create(name));
            for (const QPoint at : {QPoint(500, 12), rig.Thumb()}) {
                Mouse(rig.slider, QEvent::MouseButtonPress, at, button, button);
                Mouse(rig.slider, QEvent::MouseMove, at - QPoint(100, 0), button, button);
                Mouse(rig.slider, QEvent::MouseButtonRelease, at - QPoint(100, 0), Qt::NoButton, button);
            }
            EXPECT_EQ(rig.slider->GetPos(), 10);
            EXPECT_TRUE(rig.commits.empty());
        }
    }
}

TEST(SliderTip, ReadsWithAPointWhateverTheUsersLocale)
{
    const testlocale::Scoped decimalComma;
    ASSERT_TRUE(decimalComma.Active());
    SliderRig rig(870, 1080, 875, new CSkinSliderTenths);
    Mouse(rig.slider, QEvent::MouseButtonPress, rig.Thumb(), Qt::LeftButton);
    Mouse(rig.slider, QEvent::MouseMove, rig.Thumb(), Qt::LeftButton);
    EXPECT_EQ(rig.slider->TipWindow()->text(), QStringLiteral("87.5"));
    Mouse(rig.slider, QEvent::MouseButtonRelease, rig.Thumb(), Qt::NoButton);
}

// A failure message shown from a notification takes the mouse release: the
// slider then sees the button up without a release of its own.
TEST(SliderLostRelease, DragIsFinishedAndPageStepsStopRepeating)
{
    SliderRig rig(1, 30, 5);
    Mouse(rig.slider, QEvent::MouseButtonPress, rig.Thumb(), Qt::LeftButton);
    Mouse(rig.slider, QEvent::MouseMove, rig.Thumb() + QPoint(100, 0), Qt::LeftButton);
    const int moved = rig.slider->GetPos();
    Mouse(rig.slider, QEvent::MouseMove, rig.Thumb() + QPoint(20, 0), Qt::NoButton);
    EXPECT_EQ(rig.commits, Positions{moved});
    EXPECT_FALSE(rig.slider->TipWindow()->isVisible());

    rig.commits.clear();
    Mouse(rig.slider, QEvent::MouseButtonPress, QPoint(590, 2), Qt::LeftButton);
    QTest::qWait(700);  // past the first repeat, with no button held
    EXPECT_EQ(rig.commits, Positions{moved + 5});
}

}  // namespace
