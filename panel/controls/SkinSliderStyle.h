#pragma once
// Geometry of the skinned slider, in the trackbar's terms: a thin channel
// across the control and a thumb the size of the thumb bitmap. QSlider takes
// its hit-testing and drag mapping from these rectangles, so the thumb the
// user grabs is exactly the one that is drawn.

#include <QProxyStyle>

class CSkinSliderStyle : public QProxyStyle
{
    Q_OBJECT
public:
    static constexpr int kThumbWidth = 20;
    static constexpr int kThumbHeight = 10;
    static constexpr int kChannelThickness = 4;
    // Space between the control's edge and the channel ends. The thumb image
    // overhangs its rectangle by one pixel on the right, hence one more there.
    static constexpr int kInsetLeft = 2;
    static constexpr int kInsetRight = 3;
    static constexpr int kTickIntervals = 20;

    CSkinSliderStyle();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget = nullptr) const override;
    // Like a trackbar, a press anywhere off the thumb pages towards it, not
    // only on the few pixels of the channel itself.
    SubControl hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option, const QPoint& pos,
                                     const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    // The press behaviour is the trackbar's whatever the desktop style says:
    // the left button pages from the channel (the slider stops it at the
    // pointer) and drags the thumb; no button jumps the thumb to the pointer.
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
