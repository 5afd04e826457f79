#pragma once
// Flat push button whose face colour follows its state, with a 3-D edge only
// while hovered or pressed, a centred word-wrapped caption and an optional
// image with one transparent colour.

#include "ColorRef.h"

#include <QPushButton>

enum ImageButtonColor {
    IBC_BK_ACTIVE = 0,  // background while hovered or pressed
    IBC_FG_ACTIVE = 1,  // text while hovered or pressed
    IBC_BK_NORMAL = 2,  // background otherwise
    IBC_FG_NORMAL = 3,  // text otherwise
    IBC_BK_FOCUS = 4,   // background while focused, neither hovered nor pressed
    IBC_FG_FOCUS = 5,   // stored only
};

class CImageButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CImageButton(QWidget* parent = nullptr);
    ~CImageButton() override;

    // 3 (and no change) for a slot above 5, else 0.
    int SetStateColor(int slot, COLORREF colour, bool repaint = true);
    COLORREF GetStateColor(int slot) const;
    // Slots 0, 2, 4 to the button face colour, 1, 3, 5 to the button text colour.
    int ResetColors(bool repaint = true);
    // Bitmap resources for the active and (optional, 0 = none) normal image.
    int LoadImages(int idActive, COLORREF transparentActive, int idNormal = 0, COLORREF transparentNormal = 0);
};
