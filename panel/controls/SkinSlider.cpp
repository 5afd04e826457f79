// Placeholder: replaced by the skinned slider implementation.
#include "SkinSlider.h"

CSkinSlider::CSkinSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}
CSkinSlider::~CSkinSlider() = default;
void CSkinSlider::SetRange(int minimum, int maximum, bool) { setRange(minimum, maximum); }
void CSkinSlider::SetTicFreq(int frequency) { setTickInterval(frequency); }
void CSkinSlider::SetPos(int position) { setValue(position); }
int CSkinSlider::GetPos() const { return value(); }
QString CSkinSlider::TipText(int position) const { return QString::number(position); }
