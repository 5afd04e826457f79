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
};
