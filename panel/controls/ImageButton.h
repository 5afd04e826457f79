#pragma once
// Flat push button whose face colour follows its state, with a 3-D edge only
// while hovered or pressed, a centred word-wrapped caption and an optional
// image with one transparent colour.

#include "ColorRef.h"

#include <QImage>
#include <QPushButton>
#include <array>

enum ImageButtonColor {
    IBC_BK_ACTIVE = 0,  // background while hovered or pressed
    IBC_FG_ACTIVE = 1,  // text while hovered or pressed
    IBC_BK_NORMAL = 2,  // background otherwise
    IBC_FG_NORMAL = 3,  // text otherwise
    IBC_BK_FOCUS = 4,   // background while focused, neither hovered nor pressed
    IBC_FG_FOCUS = 5,   // stored only
};

// One image of the button: the bitmap with its transparent colour turned
// into transparency, and that colour.
struct ButtonImage {
    QImage bitmap;
    int width = 0;
    int height = 0;
    ColorRef transparent = 0;

    bool IsSet() const { return !bitmap.isNull(); }
};

class CImageButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CImageButton(QWidget* parent = nullptr);
    ~CImageButton() override;

    // false (and no change) for a slot above 5.
    bool SetStateColor(int slot, ColorRef colour, bool repaint = true);
    ColorRef GetStateColor(int slot) const;
    // Slots 0, 2, 4 to the button face colour, 1, 3, 5 to the button text colour.
    void ResetColors(bool repaint = true);
    // Bitmap resources for the active and (optional, 0 = none) normal image;
    // a resource that cannot be found leaves the button without images.
    void LoadImages(int idActive, ColorRef transparentActive, int idNormal = 0, ColorRef transparentNormal = 0);
    // The images themselves: the active one (hovered or pressed) and an
    // optional one for the normal state. A null active image clears both.
    // false when an image's transparency could not be made (no memory for
    // it); the button then keeps no images.
    bool SetImages(const QImage& active, ColorRef transparentActive, const QImage& normal = QImage(),
                   ColorRef transparentNormal = 0);
    void ReleaseImages();

    void SetGrayWhenDisabled(bool gray)
    {
        m_bGrayWhenDisabled = gray;
        update();
    }
    bool IsHover() const { return m_bHover; }
    void EndHover();

    // Where the image goes in `r` (and, with a caption, how far the caption
    // area then starts to its right).
    QRect PlaceImage(const ButtonImage& image, const QRect& r, QRect* caption) const;
    const ButtonImage& Image(int index) const { return m_images[static_cast<std::size_t>(index)]; }

protected:
    // The face and the edge; a derived button may draw its own.
    virtual void DrawFace(QPainter& painter, const QRect& r);
    virtual void DrawFrame(QPainter& painter, const QRect& r, bool sunken);

    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void TrackHover(const QPoint& pos, Qt::MouseButtons buttons);
    void DrawImage(QPainter& painter, const QRect& r, QRect* caption);
    void DrawCaption(QPainter& painter, QRect caption);
    void MoveFocusOn();
    void OnClicked();

    bool m_bGrayWhenDisabled = true;
    bool m_bHover = false;
    bool m_bPressed = false;
    bool m_bFocused = false;
    bool m_bDisabled = false;
    std::array<ColorRef, 6> m_clr{};
    std::array<ButtonImage, 2> m_images{};
};
