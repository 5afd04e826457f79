#include "SkinProgress.h"

#include <QPainter>

CSkinProgress::CSkinProgress(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);  // the paint covers every pixel
}

CSkinProgress::~CSkinProgress() = default;

void CSkinProgress::SetRange(int lower, int upper)
{
    // The ends are kept in 16 bits: a range they cannot hold is refused like
    // any other invalid one rather than stored wrapped.
    if (lower >= 0 && lower < upper && upper <= INT16_MAX) {
        m_nLower = static_cast<std::int16_t>(lower);
        m_nUpper = static_cast<std::int16_t>(upper);
        update();
    }
}

void CSkinProgress::SetPos(std::int16_t position)
{
    if (position >= m_nLower && position <= m_nUpper) {
        m_nPos = position;
        update();
    }
}

int CSkinProgress::LitBlocks() const
{
    if (m_nUpper <= m_nLower) {
        return 0;
    }
    return static_cast<std::int16_t>((m_nPos - m_nLower) * m_nBlocks / (m_nUpper - m_nLower));
}

QRect CSkinProgress::BlockRect(int index) const
{
    const int top = (height() - m_nBlockHeight) / 2;
    const int blockWidth =
        m_nBlocks != 0 ? static_cast<std::int16_t>((width() - 2 * m_nMargin - m_nGap * (m_nBlocks - 1)) / m_nBlocks)
                       : 10;
    return QRect(m_nMargin + index * (blockWidth + m_nGap), top, blockWidth, m_nBlockHeight);
}

void CSkinProgress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(m_crBack));
    const int lit = LitBlocks();
    const QColor block = ToQColor(m_crBlock);
    for (int i = 0; i < lit; ++i) {
        const QRect r = BlockRect(i);
        if (r.width() <= 0) {
            break;  // a bar too narrow for its blocks shows none
        }
        painter.fillRect(r, block);
    }
}
