// Placeholder: replaced by the segment display implementation.
#include "SegmentDisplay.h"

#include <QPainter>
#include <cstdarg>
#include <cstdio>

CSegmentDisplay::CSegmentDisplay(QWidget* parent) : QWidget(parent) {}
CSegmentDisplay::~CSegmentDisplay() = default;

void CSegmentDisplay::SetText(const char* text)
{
    if (m_text == text) {
        return;
    }
    m_text = text;
    m_dirty = true;
    Redraw();
}

void CSegmentDisplay::FormatText(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    SetText(buffer);
}

void CSegmentDisplay::SetSegmentColors(COLORREF off, COLORREF on)
{
    if (off == m_offColor && on == m_onColor) {
        return;
    }
    m_offColor = off;
    m_onColor = on;
    Redraw();
}

COLORREF CSegmentDisplay::SetBackColor(COLORREF back)
{
    const COLORREF previous = m_backColor;
    if (back != m_backColor) {
        m_backColor = back;
        Redraw();
    }
    return previous;
}

bool CSegmentDisplay::ModifySegmentStyle(std::uint32_t remove, std::uint32_t add)
{
    if (remove & add) {
        return false;
    }
    m_style = (m_style | add) & ~remove;
    m_dirty = true;
    Redraw();
    return true;
}

void CSegmentDisplay::Redraw() { update(); }

void CSegmentDisplay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(m_backColor));
    painter.setPen(ToQColor(m_onColor));
    painter.drawText(rect(), Qt::AlignCenter, QString::fromStdString(m_text));
}
