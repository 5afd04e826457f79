#include "SkinSliderStyle.h"

#include <QStyleOptionSlider>

CSkinSliderStyle::CSkinSliderStyle() = default;

QRect CSkinSliderStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                       const QWidget* widget) const
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_Slider || !slider || slider->orientation != Qt::Horizontal) {
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }
    // The thumb travels a whole number of tick intervals, so that every tick
    // stands where the thumb's centre stops; what is left over is shared out
    // on either side.
    const QRect r = slider->rect;
    const int available = r.width() - kInsetLeft - kInsetRight;
    int travel = qMax(0, available - kThumbWidth);
    travel -= travel % kTickIntervals;
    const int spare = qMax(0, available - kThumbWidth - travel);
    const QRect groove(r.x() + kInsetLeft + spare / 2, r.y() + (r.height() - kChannelThickness) / 2,
                       travel + kThumbWidth, kChannelThickness);
    switch (sub) {
    case SC_SliderGroove: return groove;
    case SC_SliderHandle: {
        // QSlider maps the pointer back to a value with the groove's left end
        // and the handle's width, so the handle travels the groove exactly.
        const int offset = sliderPositionFromValue(slider->minimum, slider->maximum, slider->sliderPosition,
                                                   groove.width() - kThumbWidth, slider->upsideDown);
        const int centreY = groove.y() + kChannelThickness / 2;
        return QRect(groove.x() + offset, centreY - kThumbHeight / 2, kThumbWidth, kThumbHeight);
    }
    case SC_SliderTickmarks: return r;
    default: return QProxyStyle::subControlRect(control, option, sub, widget);
    }
}

QStyle::SubControl CSkinSliderStyle::hitTestComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                                           const QPoint& pos, const QWidget* widget) const
{
    const auto* slider = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_Slider || !slider || slider->orientation != Qt::Horizontal) {
        return QProxyStyle::hitTestComplexControl(control, option, pos, widget);
    }
    if (subControlRect(control, option, SC_SliderHandle, widget).contains(pos)) {
        return SC_SliderHandle;
    }
    return slider->rect.contains(pos) ? SC_SliderGroove : SC_None;
}

int CSkinSliderStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_SliderLength: return kThumbWidth;
    case PM_SliderThickness:
    case PM_SliderControlThickness: return kThumbHeight;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

int CSkinSliderStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                QStyleHintReturn* returnData) const
{
    switch (hint) {
    case SH_Slider_AbsoluteSetButtons: return Qt::NoButton;
    case SH_Slider_PageSetButtons: return Qt::LeftButton;
    case SH_Slider_StopMouseOverSlider: return 0;
    default: return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
}
