#pragma once
// The skinned slider for quantities in tenths: its value tip reads "%.1lf" of
// position x 0.1 (875 reads 87.5).

#include "SkinSlider.h"

class CSkinSliderTenths : public CSkinSlider
{
    Q_OBJECT
public:
    explicit CSkinSliderTenths(QWidget* parent = nullptr);

    CTrackingTip* TipWindow() const override;

protected:
    QString TipText(int position) const override;
};
