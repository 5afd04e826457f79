#pragma once
// Horizontal slider drawn in the panel's own look, with a value tip while the
// thumb is dragged and one position per mouse-wheel turn.

#include <QPixmap>
#include <QSlider>

class CTrackingTip;

class CSkinSlider : public QSlider
{
    Q_OBJECT
public:
    explicit CSkinSlider(QWidget* parent = nullptr);
    ~CSkinSlider() override;

    void SetRange(int minimum, int maximum);  // repaints, as every range change does
    // Fixes the page size. Until this is called, the page is a fifth of the
    // range (at least 1), taken again whenever the range changes.
    void SetPageSize(int size);
    void SetPos(int position);  // moves the thumb and repaints; sends nothing
    int GetPos() const;

    // The trackbar's channel rectangle, from which the ticks and the channel
    // lines are drawn: the span of the thumb's centre, moved 5 pixels left.
    QRect ChannelRect() const;
    // The thumb rectangle (the area that starts a drag).
    QRect ThumbRect() const;
    // Where the thumb image is drawn for a thumb rectangle.
    static QRect ThumbImageRect(const QRect& thumb);
    bool IsDragging() const { return m_bDragging; }
    // The value tip shared by every slider of this class.
    virtual CTrackingTip* TipWindow() const;

signals:
    // Emitted with the position a line or page step has moved the thumb to
    // (the keys, a press in the channel and its repeats), and with the
    // position a dragged thumb is let go at. Dragging, Home and End only move
    // the thumb: the owner applies what the operator has settled on.
    void valueCommitted(int position);
    // Emitted after a wheel step moved the thumb, with the (clamped) new
    // position. An owner that must see it after the current event, as a
    // posted window message would arrive, connects with Qt::QueuedConnection.
    void wheelStep(int position);

protected:
    // The value tip's text for a position: "%d".
    virtual QString TipText(int position) const;

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void sliderChange(SliderChange change) override;

private:
    void PaintChannel(class QPainter& painter, const QRect& channel) const;
    void ShowTip();
    void NotifyPendingAction();
    void FinishPress(bool thumbWasDown);
    void EndLostPress();
    // Whether the thumb has come to (or past) the held pointer, so that
    // paging towards it stops.
    bool PagingReachedPointer() const;

    QPixmap m_bmpThumb;
    int m_nTicks = 20;
    bool m_bDragging = false;
    bool m_bChannelPressed = false;        // a press in the channel is paging
    QPoint m_pagePointer;                  // where the pointer holds the paging press
    bool m_bPageSizeSet = false;           // SetPageSize fixed the page
    int m_pendingAction = SliderNoAction;  // set by actionTriggered, sent once the value moved
    QRect m_paintedThumb;                  // thumb image area of the last paint
};
