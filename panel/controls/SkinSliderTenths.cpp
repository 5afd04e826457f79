#include "SkinSliderTenths.h"

#include "TrackingTip.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
QPointer<CTrackingTip> s_hTipWnd;
}

CSkinSliderTenths::CSkinSliderTenths(QWidget* parent) : CSkinSlider(parent) {}

CTrackingTip* CSkinSliderTenths::TipWindow() const
{
    if (!s_hTipWnd) {
        s_hTipWnd = new CTrackingTip;
        qAddPostRoutine([] { delete s_hTipWnd.data(); });
    }
    return s_hTipWnd;
}

QString CSkinSliderTenths::TipText(int position) const { return QString::asprintf("%.1f", position * 0.1); }
