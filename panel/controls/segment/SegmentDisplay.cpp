#include "SegmentDisplay.h"

#include "SegmentPaint.h"

#include <QBrush>
#include <QPainter>
#include <QPen>
#include <QString>
#include <cstdarg>

namespace {

QPen OutlinePen(ColorRef color)
{
    QPen pen(ToQColor(color));
    pen.setWidth(1);
    return pen;
}

}  // namespace

CSegmentDisplay::CSegmentDisplay(QWidget* parent) : QWidget(parent)
{
    // The paint covers every pixel from its off-screen image, so nothing may
    // erase the area first: that erase is what would flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

CSegmentDisplay::~CSegmentDisplay() = default;

void CSegmentDisplay::SetText(const char* text)
{
    if (text == nullptr) {
        text = "";
    }
    if (m_text == text) {
        return;
    }
    m_text = text;
    m_dirty = true;
    Redraw();
}

void CSegmentDisplay::FormatText(const char* format, ...)
{
    if (format == nullptr) {
        SetText("");
        return;
    }
    // Qt's formatting writes a decimal point whatever locale the process
    // runs in (Qt sets it from the user's environment at start-up), unlike
    // the C runtime's: a decimal comma has no segment cell, and "100,0"
    // would show as "1000".
    va_list args;
    va_start(args, format);
    const QString text = QString::vasprintf(format, args);
    va_end(args);
    SetText(text.toStdString().c_str());
}

void CSegmentDisplay::SetSegmentColors(ColorRef off, ColorRef on)
{
    if (off == m_offColor && on == m_onColor) {
        return;
    }
    m_offColor = off;
    m_onColor = on;
    Redraw();
}

ColorRef CSegmentDisplay::SetBackColor(ColorRef back)
{
    const ColorRef previous = m_backColor;
    if (back != m_backColor) {
        m_backColor = back;
        Redraw();
    }
    return previous;
}

bool CSegmentDisplay::ModifySegmentStyle(std::uint32_t remove, std::uint32_t add)
{
    if ((remove & add) != 0) {
        return false;
    }
    m_style = (m_style | add) & ~remove;
    m_dirty = true;
    Redraw();
    return true;
}

void CSegmentDisplay::Redraw() { update(); }

void CSegmentDisplay::RebuildChars()
{
    if (!m_dirty) {
        return;
    }
    m_chars.clear();
    if (m_text == "?") {
        m_text = windowTitle().toStdString();
    }
    for (char& c : m_text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    for (char c : m_text) {
        if (std::unique_ptr<CSegmentChar> cell = MakeSegmentChar(c, m_style)) {
            m_chars.push_back(std::move(cell));
        }
    }
    m_paths.clear();
    m_pathsSize = QSize();
    m_dirty = false;
}

const std::vector<std::vector<QPainterPath>>& CSegmentDisplay::CellPaths()
{
    const std::vector<SegmentRect> rects = CellRects();  // rebuilds the cells first
    if (m_pathsSize != size() || m_paths.size() != m_chars.size()) {
        m_paths.clear();
        for (std::size_t i = 0; i < m_chars.size() && i < rects.size(); ++i) {
            m_paths.push_back(m_chars[i]->SegmentPaths(rects[i]));
        }
        m_pathsSize = size();
        ++m_fitCount;
    }
    return m_paths;
}

std::vector<int> CSegmentDisplay::CellWidths() const
{
    std::vector<int> widths;
    widths.reserve(m_chars.size());
    for (const auto& cell : m_chars) {
        widths.push_back(cell->GetWidth());
    }
    return widths;
}

const std::vector<std::unique_ptr<CSegmentChar>>& CSegmentDisplay::Chars()
{
    RebuildChars();
    return m_chars;
}

std::vector<SegmentRect> CSegmentDisplay::CellRects()
{
    RebuildChars();
    return LayoutSegmentCells(CellWidths(), width(), height(), (m_style & SEGSTYLE_KEEP_ASPECT) != 0);
}

QImage CSegmentDisplay::Compose()
{
    const int cw = width();
    const int ch = height();
    if (cw <= 0 || ch <= 0) {
        RebuildChars();
        return {};
    }
    QImage image(cw, ch, QImage::Format_RGB32);
    image.fill(ToQColor(m_backColor));

    const QBrush offBrush(ToQColor(m_offColor));
    const QBrush onBrush(ToQColor(m_onColor));
    const bool soft = (m_style & SEGSTYLE_SOFT_OUTLINE) != 0;
    const QPen offPen = OutlinePen(soft ? SoftOutlineColor(m_offColor, m_backColor) : m_offColor);
    const QPen onPen = OutlinePen(soft ? SoftOutlineColor(m_onColor, m_backColor) : m_onColor);

    const std::vector<std::vector<QPainterPath>>& paths = CellPaths();
    QPainter painter(&image);
    for (std::size_t i = 0; i < m_chars.size() && i < paths.size(); ++i) {
        m_chars[i]->DrawPaths(painter, paths[i], offPen, onPen, offBrush, onBrush);
    }
    painter.end();
    return image;
}

void CSegmentDisplay::paintEvent(QPaintEvent*)
{
    ++m_paintCount;
    const QImage frame = Compose();
    if (frame.isNull()) {
        return;
    }
    // One block transfer of the finished image.
    QPainter painter(this);
    painter.drawImage(0, 0, frame);
}
