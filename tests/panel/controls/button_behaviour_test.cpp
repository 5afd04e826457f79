// The image button's colour slots, hover tracking, clicks and focus.

#include "ControlsTestApp.h"
#include "controls/ImageButton.h"

#include <QSignalSpy>
#include <QTest>

namespace {

TEST(ButtonColours, SlotsAboveFiveAreRefusedAndChangeNothing)
{
    CImageButton button;
    for (int slot = 0; slot < 6; ++slot) {
        ASSERT_TRUE(button.SetStateColor(slot, Rgb(slot, 1, 2), false));
    }
    for (int bad : {6, 255, -1}) {  // the slot is taken as a byte: -1 is 255
        EXPECT_FALSE(button.SetStateColor(bad, Rgb(9, 9, 9))) << bad;
    }
    for (int slot = 0; slot < 6; ++slot) {
        EXPECT_EQ(button.GetStateColor(slot), Rgb(slot, 1, 2)) << slot;
    }
}

TEST(ButtonHover, LitByThePointerNotByADragThatEnters)
{
    QWidget window;
    auto* button = new CImageButton(&window);
    button->resize(40, 20);
    Mouse(button, QEvent::MouseMove, QPoint(10, 10), Qt::LeftButton);
    EXPECT_FALSE(button->IsHover()) << "entered with the left button held";
    Mouse(button, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton);
    EXPECT_TRUE(button->IsHover());
    Mouse(button, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    Mouse(button, QEvent::MouseMove, QPoint(15, 10), Qt::LeftButton);
    EXPECT_TRUE(button->IsHover()) << "pressed inside and moved";
    Mouse(button, QEvent::MouseMove, QPoint(60, 10), Qt::LeftButton);
    EXPECT_FALSE(button->IsHover()) << "dragged out";
    Mouse(button, QEvent::MouseButtonRelease, QPoint(60, 10), Qt::NoButton);
    Mouse(button, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsHover()) << "the leave notification ends the hover";
}

TEST(ButtonClicks, DoubleClickCountsAsTwoClicks)
{
    // Platforms differ in whether a press comes before the double click.
    const std::vector<QEvent::Type> sequences[] = {
        {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease},
        {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
         QEvent::MouseButtonRelease},
    };
    for (const auto& sequence : sequences) {
        CImageButton button;
        button.resize(40, 20);
        QSignalSpy clicks(&button, &QAbstractButton::clicked);
        for (QEvent::Type type : sequence) {
            Mouse(&button, type, QPoint(10, 10), type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton);
        }
        EXPECT_EQ(clicks.count(), 2) << sequence.size() << " events";
    }
}

class ButtonFocus : public ::testing::Test
{
protected:
    QWidget window;
    CImageButton* a = new CImageButton(&window);
    CImageButton* b = new CImageButton(&window);
    CImageButton* c = new CImageButton(&window);

    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

TEST_F(ButtonFocus, DisablingMovesTheFocusToTheNextTabStopWhoeverHadIt)
{
    a->setFocus();
    a->setEnabled(false);
    EXPECT_TRUE(b->hasFocus());
    c->setFocus();
    b->setEnabled(false);  // did not have the focus, moves it all the same
    EXPECT_TRUE(c->hasFocus());
    c->setEnabled(false);  // wraps past the disabled ones: none left
    EXPECT_TRUE(window.hasFocus()) << "with no tab stop left the parent takes it";
}

}  // namespace
