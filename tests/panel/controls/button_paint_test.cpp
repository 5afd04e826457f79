// How the image button looks in each state: face, edge, caption and image.

#include "ControlsTestApp.h"
#include "controls/ImageButton.h"

namespace {

const QColor kLight(255, 255, 255);
const QColor kDark(128, 128, 128);
const QColor kMagenta(255, 0, 255);
constexpr ColorRef kFaceActive = Rgb(200, 0, 0);
constexpr ColorRef kFaceNormal = Rgb(0, 150, 0);
constexpr ColorRef kTextActive = Rgb(255, 255, 0);
constexpr ColorRef kTextNormal = Rgb(0, 255, 255);

// A 30 x 20 button with distinct slot colours and known edge colours.
struct Rig {
    QWidget window;
    CImageButton* button = new CImageButton(&window);

    explicit Rig(const QString& caption = QString(), QSize size = QSize(30, 20))
    {
        button->resize(size);
        QPalette palette = button->palette();
        palette.setColor(QPalette::Light, kLight);
        palette.setColor(QPalette::Dark, kDark);
        button->setPalette(palette);
        const std::pair<int, ColorRef> stateColours[] = {{IBC_BK_ACTIVE, kFaceActive},
                                                         {IBC_BK_NORMAL, kFaceNormal},
                                                         {IBC_FG_ACTIVE, kTextActive},
                                                         {IBC_FG_NORMAL, kTextNormal}};
        for (const auto& [slot, colour] : stateColours) {
            button->SetStateColor(slot, colour);
        }
        button->setText(caption);
        QFont font = button->font();
        font.setPixelSize(16);
        font.setBold(true);
        button->setFont(font);
    }
    void Hover() { Mouse(button, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton); }
};

bool Contains(const QImage& image, const QColor& colour)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

// Face colour, top-left and bottom-right edge pixels.
std::tuple<QColor, QColor, QColor> Look(CImageButton& button)
{
    const QImage image = Render(button);
    return {image.pixelColor(15, 10), image.pixelColor(0, 0), image.pixelColor(image.width() - 1, 0)};
}

TEST(ButtonFace, ColourAndEdgeFollowTheState)
{
    Rig rig;
    const QColor normal = ToQColor(kFaceNormal);
    const QColor active = ToQColor(kFaceActive);
    EXPECT_EQ(Look(*rig.button), std::tuple(normal, normal, normal)) << "idle: flat, no edge";
    rig.Hover();
    EXPECT_EQ(Look(*rig.button), std::tuple(active, kLight, kDark)) << "hovered: raised";
    rig.button->EndHover();
    rig.button->setDown(true);
    EXPECT_EQ(Look(*rig.button), std::tuple(active, kDark, kLight)) << "pressed: sunken";
}

TEST(ButtonCaption, StateTextColourOrEngravedWhenDisabled)
{
    Rig rig(QStringLiteral("ON\nOFF"), QSize(60, 50));
    QImage image = Render(*rig.button);
    EXPECT_TRUE(Contains(image, ToQColor(kTextNormal)));
    EXPECT_FALSE(Contains(image, ToQColor(kTextActive)));
    rig.Hover();
    image = Render(*rig.button);
    EXPECT_TRUE(Contains(image, ToQColor(kTextActive)));
    EXPECT_FALSE(Contains(image, ToQColor(kTextNormal)));
    rig.button->EndHover();
    rig.button->setEnabled(false);
    image = Render(*rig.button);
    EXPECT_FALSE(Contains(image, ToQColor(kTextNormal)));
    EXPECT_TRUE(Contains(image, kLight) && Contains(image, kDark)) << "highlight copy under a shadow copy";
}

TEST(ButtonImage, CentredWithoutCaptionShiftedWhenPressedTransparentColourShowsTheFace)
{
    Rig rig;
    QImage bitmap(6, 4, QImage::Format_RGB32);
    bitmap.fill(kMagenta);
    bitmap.setPixelColor(0, 0, Qt::white);
    ASSERT_TRUE(rig.button->SetImages(bitmap, Rgb(255, 255, 255)));
    // At ((30 - 6) / 2, (20 - 4) / 2) = (12, 8), then (13, 9) when pressed.
    for (const bool pressed : {false, true}) {
        rig.button->setDown(pressed);
        const QImage image = Render(*rig.button);
        const QColor face = ToQColor(pressed ? kFaceActive : kFaceNormal);
        const QPoint at = pressed ? QPoint(13, 9) : QPoint(12, 8);
        EXPECT_EQ(image.pixelColor(at), face) << "the white pixel is transparent";
        EXPECT_EQ(image.pixelColor(at + QPoint(1, 0)), kMagenta);
        EXPECT_EQ(image.pixelColor(at + QPoint(5, 3)), kMagenta);
        EXPECT_EQ(image.pixelColor(at + QPoint(-1, 1)), face);
        EXPECT_EQ(image.pixelColor(at + QPoint(6, 3)), face);
        EXPECT_EQ(image.pixelColor(at + QPoint(5, 4)), face);
    }
    rig.button->setDown(false);
    rig.button->setEnabled(false);
    const QImage greyed = Render(*rig.button);
    EXPECT_FALSE(Contains(greyed, kMagenta)) << "greyed when disabled";
    EXPECT_EQ(greyed.pixelColor(14, 9), kDark);
    EXPECT_EQ(greyed.pixelColor(12, 8), ToQColor(kFaceNormal));
}

}  // namespace
