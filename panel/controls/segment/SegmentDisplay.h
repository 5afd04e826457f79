#pragma once
// Numeric readout that shows its text as scaled segment characters.

#include "SegmentChar.h"
#include "SegmentStyle.h"
#include "controls/ColorRef.h"

#include <QImage>
#include <QPainterPath>
#include <QSize>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CSegmentDisplay : public QWidget
{
    Q_OBJECT
public:
    explicit CSegmentDisplay(QWidget* parent = nullptr);
    ~CSegmentDisplay() override;

    // Stores the text and repaints, unless it equals the stored one.
    // "?" means: show the control's own window text.
    void SetText(const char* text);
    // printf-style formatting, with a decimal point in every locale, then
    // SetText.
    void FormatText(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    // Unlit and lit segment colours; repaints unless both are unchanged.
    void SetSegmentColors(ColorRef off, ColorRef on);
    // Returns the previous background colour.
    ColorRef SetBackColor(ColorRef back);
    // false (and no change) when a bit is in both masks.
    bool ModifySegmentStyle(std::uint32_t remove, std::uint32_t add);
    // Invalidates the whole control.
    void Redraw();

    const std::string& Text() const { return m_text; }
    std::uint32_t Style() const { return m_style; }
    ColorRef OffColor() const { return m_offColor; }
    ColorRef OnColor() const { return m_onColor; }
    ColorRef BackColor() const { return m_backColor; }

    // The cells of the current text (rebuilt first if the text or style
    // changed) and their device rectangles for the current size.
    const std::vector<std::unique_ptr<CSegmentChar>>& Chars();
    std::vector<SegmentRect> CellRects();
    // The whole control as the paint composes it off screen.
    QImage Compose();
    // Number of paints so far; lets callers see that an unchanged value
    // caused no repaint.
    int PaintCount() const { return m_paintCount; }
    // Number of times the segment paths were fitted: once per text, style or
    // size, however often it is painted.
    int FitCount() const { return m_fitCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RebuildChars();
    std::vector<int> CellWidths() const;
    // The paths of every cell for the current size, fitted again only when
    // the cells or the size changed (curve fitting is most of a paint).
    const std::vector<std::vector<QPainterPath>>& CellPaths();

    std::string m_text = "?";
    bool m_dirty = true;
    std::vector<std::unique_ptr<CSegmentChar>> m_chars;
    ColorRef m_offColor = 0x3400;
    ColorRef m_onColor = 0xFF00;
    ColorRef m_backColor = 0;
    std::uint32_t m_style = SEGSTYLE_KEEP_ASPECT | SEGSTYLE_SOFT_OUTLINE;
    int m_paintCount = 0;
    std::vector<std::vector<QPainterPath>> m_paths;  // per cell, per segment
    QSize m_pathsSize;                               // the size they were fitted for; empty: none
    int m_fitCount = 0;
};
