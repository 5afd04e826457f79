// Placeholder: replaced by the level meter implementation.
#include "SkinProgress.h"

#include <QPainter>

CSkinProgress::CSkinProgress(QWidget* parent) : QWidget(parent) {}
CSkinProgress::~CSkinProgress() = default;
void CSkinProgress::SetRange(int lower, int upper)
{
    if (lower >= 0 && lower < upper) {
        m_nLower = static_cast<std::int16_t>(lower);
        m_nUpper = static_cast<std::int16_t>(upper);
    }
}
void CSkinProgress::SetPos(std::int16_t position)
{
    if (position >= m_nLower && position <= m_nUpper) {
        m_nPos = position;
    }
}
void CSkinProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(m_crBack));
}
