#pragma once
// Horizontal slider drawn in the panel's own look, with a value tip while the
// thumb is dragged and one position per mouse-wheel turn.

#include <QSlider>

// Scroll notification codes, as the parent's OnHScroll receives them.
enum TrackbarCode {
    TB_LINEUP = 0,
    TB_LINEDOWN = 1,
    TB_PAGEUP = 2,
    TB_PAGEDOWN = 3,
    TB_THUMBPOSITION = 4,  // thumb released after a drag
    TB_THUMBTRACK = 5,     // thumb moving while dragged
    TB_TOP = 6,            // Home
    TB_BOTTOM = 7,         // End
    TB_ENDTRACK = 8,
};

class CSkinSlider : public QSlider
{
    Q_OBJECT
public:
    explicit CSkinSlider(QWidget* parent = nullptr);
    ~CSkinSlider() override;

    void SetRange(int minimum, int maximum, bool redraw = false);
    void SetTicFreq(int frequency);
    void SetPos(int position);  // moves the thumb and repaints; sends nothing
    int GetPos() const;

signals:
    // Emitted to the parent after the position changed (or after a release),
    // with the trackbar code. Dragging emits TB_THUMBTRACK only.
    void hScroll(int code, int position, CSkinSlider* slider);

protected:
    // The value tip's text for a position: "%d".
    virtual QString TipText(int position) const;
};
