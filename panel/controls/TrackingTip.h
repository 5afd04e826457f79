#pragma once
// A small always-on-top label that follows a point on screen, like a tracking
// tooltip: it never takes the focus or the mouse.

#include <QLabel>

class CTrackingTip : public QLabel
{
    Q_OBJECT
public:
    CTrackingTip();

    // Sets the text, puts the tip's top-left corner at `globalPos` and shows it.
    void Track(const QPoint& globalPos, const QString& text);
    void Deactivate();
};
