// Placeholder: replaced by the skinned slider implementation.
#include "SkinSliderTenths.h"

CSkinSliderTenths::CSkinSliderTenths(QWidget* parent) : CSkinSlider(parent) {}
QString CSkinSliderTenths::TipText(int position) const { return QString::number(position * 0.1, 'f', 1); }
