#include "TrackingTip.h"

#include <QToolTip>

CTrackingTip::CTrackingTip() : QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setPalette(QToolTip::palette());
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(2);
    setText(QStringLiteral("1"));
    adjustSize();
}

void CTrackingTip::Track(const QPoint& globalPos, const QString& text)
{
    if (text != this->text()) {
        setText(text);
        adjustSize();
    }
    move(globalPos);
    show();
}

void CTrackingTip::Deactivate() { hide(); }
