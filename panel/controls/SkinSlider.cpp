#include "SkinSlider.h"

#include "ColorRef.h"
#include "Resources.h"
#include "SkinSliderStyle.h"
#include "TrackingTip.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <array>
#include <cstdint>

namespace {

QPointer<CTrackingTip> s_hTipWnd;

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kTickGrey = Rgb(208, 208, 208);
constexpr ColorRef kChannelGrey = Rgb(128, 128, 128);

// The value tip sits this far from the thumb's left edge and the control's top.
constexpr int kTipOffsetX = -5;
constexpr int kTipOffsetY = -15;

// Tick marks relative to the channel rectangle: every tenth one is long.
struct TickShape {
    int above;  // pixels above the channel's top
    int below;  // pixels below the channel's bottom
    int width;
};
constexpr TickShape kLongTick{8, 6, 2};
constexpr TickShape kShortTick{5, 3, 1};
constexpr int kTicksFrom = 5;  // first tick, right of the channel's left end

// The channel shows as two grey lines: a grey band with a black band inside.
struct Band {
    int left, above, right, below;  // offsets from the channel's edges
    ColorRef colour;
};
constexpr std::array<Band, 2> kChannelBands{{
    {5, 4, 4, 2, kChannelGrey},
    {5, 3, 4, 1, kBlack},
}};

// Keys as the platform trackbar reads them: up and left move towards the
// minimum, down and right towards the maximum.
struct KeyAction {
    int key;
    QAbstractSlider::SliderAction action;
};
constexpr std::array<KeyAction, 8> kKeys{{
    {Qt::Key_Left, QAbstractSlider::SliderSingleStepSub},
    {Qt::Key_Up, QAbstractSlider::SliderSingleStepSub},
    {Qt::Key_Right, QAbstractSlider::SliderSingleStepAdd},
    {Qt::Key_Down, QAbstractSlider::SliderSingleStepAdd},
    {Qt::Key_PageUp, QAbstractSlider::SliderPageStepSub},
    {Qt::Key_PageDown, QAbstractSlider::SliderPageStepAdd},
    {Qt::Key_Home, QAbstractSlider::SliderToMinimum},
    {Qt::Key_End, QAbstractSlider::SliderToMaximum},
}};

const KeyAction* FindKey(int key)
{
    for (const KeyAction& k : kKeys) {
        if (k.key == key) {
            return &k;
        }
    }
    return nullptr;
}

// Line and page steps commit the position they reach; the other actions
// (dragging, Home, End) only move the thumb.
bool Commits(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderPageStepAdd:
    case QAbstractSlider::SliderPageStepSub: return true;
    default: return false;
    }
}

}  // namespace

CSkinSlider::CSkinSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    m_bmpThumb = LoadBitmapResource(IDB_THUMB);
    // Owned as a child; the widget only borrows its style.
    auto* style = new CSkinSliderStyle;
    style->setParent(this);
    setStyle(style);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // actionTriggered comes before the value moves; the notification waits
    // until the handler that caused it has finished.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) { m_pendingAction = action; });
    sliderChange(SliderRangeChange);
}

CSkinSlider::~CSkinSlider() = default;

void CSkinSlider::SetRange(int minimum, int maximum) { setRange(minimum, maximum); }

void CSkinSlider::SetPageSize(int size)
{
    m_bPageSizeSet = true;
    setPageStep(size);
}

void CSkinSlider::SetPos(int position) { setValue(position); }

int CSkinSlider::GetPos() const { return value(); }

QRect CSkinSlider::ChannelRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect thumb = ThumbRect();
    // Thumb centres at either end of the groove.
    const int first = groove.x() + thumb.width() / 2;
    const int last = groove.x() + groove.width() - thumb.width() + thumb.width() / 2;
    return QRect(first - kTicksFrom, groove.y(), last - first, groove.height());
}

QRect CSkinSlider::ThumbRect() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

QRect CSkinSlider::ThumbImageRect(const QRect& thumb)
{
    // Centre by halving the sums of the edges (right edge exclusive); the
    // image's top-left corner sits at (cx - 9, cy - 6).
    const int cx = (thumb.left() + thumb.left() + thumb.width()) >> 1;
    const int cy = (thumb.top() + thumb.top() + thumb.height()) >> 1;
    return QRect(cx - 9, cy - 6, CSkinSliderStyle::kThumbWidth, CSkinSliderStyle::kThumbHeight);
}

CTrackingTip* CSkinSlider::TipWindow() const
{
    if (!s_hTipWnd) {
        s_hTipWnd = new CTrackingTip;
        qAddPostRoutine([] { delete s_hTipWnd.data(); });
    }
    return s_hTipWnd;
}

QString CSkinSlider::TipText(int position) const { return QString::asprintf("%d", position); }

bool CSkinSlider::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
        // Nothing here changes with hover: no repaint for a passing pointer.
        return QWidget::event(event);
    default: return QSlider::event(event);
    }
}

void CSkinSlider::PaintChannel(QPainter& painter, const QRect& rc) const
{
    const int left = rc.left();
    const int right = rc.left() + rc.width();  // exclusive, as the drawing counts
    const int top = rc.top();
    const int bottom = rc.top() + rc.height();
    const auto spacing = static_cast<std::int16_t>((right - left) / m_nTicks);

    int x = left + kTicksFrom;
    for (int i = 0; i <= m_nTicks; ++i) {
        const TickShape& tick = (i % 10 == 0) ? kLongTick : kShortTick;
        painter.fillRect(QRect(QPoint(x, top - tick.above), QPoint(x + tick.width - 1, bottom + tick.below - 1)),
                         ToQColor(kTickGrey));
        x += spacing;
    }
    for (const Band& band : kChannelBands) {
        painter.fillRect(
            QRect(QPoint(left + band.left, top - band.above), QPoint(right + band.right - 1, bottom + band.below - 1)),
            ToQColor(band.colour));
    }
}

void CSkinSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(kBlack));
    PaintChannel(painter, ChannelRect());

    m_paintedThumb = ThumbImageRect(ThumbRect());
    painter.drawPixmap(m_paintedThumb.topLeft(), m_bmpThumb);

    // One-pixel black frame around the control.
    const QColor black = ToQColor(kBlack);
    painter.fillRect(0, 0, width(), 1, black);
    painter.fillRect(0, height() - 1, width(), 1, black);
    painter.fillRect(0, 0, 1, height(), black);
    painter.fillRect(width() - 1, 0, 1, height(), black);
}

void CSkinSlider::sliderChange(SliderChange change)
{
    if (change == SliderRangeChange && !m_bPageSizeSet) {
        // A trackbar pages by a fifth of its range unless told otherwise.
        setPageStep(qMax(1, (maximum() - minimum()) / 5));
    }
    if (change == SliderValueChange) {
        // Only the thumb moves: repaint where it was and where it is now.
        update(m_paintedThumb.united(ThumbImageRect(ThumbRect())));
        return;
    }
    QSlider::sliderChange(change);
}

void CSkinSlider::NotifyPendingAction()
{
    const int action = m_pendingAction;
    m_pendingAction = SliderNoAction;
    if (Commits(action)) {
        emit valueCommitted(value());
    }
}

void CSkinSlider::ShowTip()
{
    const QPoint local(ThumbRect().left() + kTipOffsetX, kTipOffsetY);
    TipWindow()->Track(mapToGlobal(local), TipText(value()));
}

void CSkinSlider::mousePressEvent(QMouseEvent* event)
{
    // Only the left button does anything on a trackbar: the others neither
    // page nor jump, so the thumb never shows a value nobody sent.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    m_bDragging = true;
    // Moves with no button held come in only while a press lasts, so that a
    // release taken by another window is noticed.
    setMouseTracking(true);
    m_pendingAction = SliderNoAction;
    QSlider::mousePressEvent(event);
    m_bChannelPressed = !isSliderDown() && m_pendingAction != SliderNoAction;
    m_pagePointer = event->position().toPoint();
    NotifyPendingAction();
}

bool CSkinSlider::PagingReachedPointer() const
{
    const QRect thumb = ThumbRect();
    switch (repeatAction()) {
    case SliderPageStepAdd: return m_pagePointer.x() <= thumb.right();
    case SliderPageStepSub: return m_pagePointer.x() >= thumb.left();
    default: return false;
    }
}

void CSkinSlider::FinishPress(bool thumbWasDown)
{
    if (m_bDragging) {
        TipWindow()->Deactivate();
    }
    m_bDragging = false;
    setMouseTracking(false);
    m_bChannelPressed = false;
    if (thumbWasDown) {
        emit valueCommitted(value());
    }
}

void CSkinSlider::EndLostPress()
{
    // The release went to another window: a receiver of a notification
    // opened a message box while the button was down. Finish the press as a
    // release here would, so a page step does not repeat behind the box and
    // a dragged thumb's position still reaches the parent.
    const bool thumbWasDown = isSliderDown();
    setRepeatAction(SliderNoAction);
    setSliderDown(false);
    m_pendingAction = SliderNoAction;
    FinishPress(thumbWasDown);
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bDragging) {
        return;  // the slider never sees the pointer pass with the button up
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        EndLostPress();
        return;
    }
    if (m_bChannelPressed) {
        m_pagePointer = event->position().toPoint();
    }
    QSlider::mouseMoveEvent(event);
    NotifyPendingAction();
    // After the move, so the tip reads the position the thumb now shows.
    ShowTip();
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const bool thumbWasDown = isSliderDown();
    QSlider::mouseReleaseEvent(event);
    NotifyPendingAction();
    FinishPress(thumbWasDown);
}

void CSkinSlider::timerEvent(QTimerEvent* event)
{
    // Page steps repeat from a timer while the channel is held, and only
    // while it is: a modal window may have taken the release.
    const QWidget* modal = QApplication::activeModalWidget();
    if (m_bChannelPressed && (!(QGuiApplication::mouseButtons() & Qt::LeftButton) || (modal && modal != window()))) {
        EndLostPress();
    }
    // Paging goes towards the held pointer and stops once the thumb is there.
    if (m_bChannelPressed && PagingReachedPointer()) {
        setRepeatAction(SliderNoAction);
    }
    QSlider::timerEvent(event);
    NotifyPendingAction();
}

void CSkinSlider::keyPressEvent(QKeyEvent* event)
{
    const KeyAction* key = FindKey(event->key());
    if (!key) {
        QSlider::keyPressEvent(event);
        return;
    }
    triggerAction(key->action);
    NotifyPendingAction();
    event->accept();
}

void CSkinSlider::keyReleaseEvent(QKeyEvent* event)
{
    if (!FindKey(event->key())) {
        QSlider::keyReleaseEvent(event);
        return;
    }
    // The slider's keys stay with it when they come up too.
    event->accept();
}

void CSkinSlider::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    // A sideways scroll is not a wheel turn, nor are the start and end
    // markers of a touchpad gesture, which carry no movement.
    if ((delta.y() == 0 && delta.x() != 0) || event->phase() == Qt::ScrollBegin || event->phase() == Qt::ScrollEnd) {
        event->ignore();
        return;
    }
    // One step per event whatever its size; no turn at all counts as down.
    const int from = value();
    if (delta.y() > 0) {
        SetPos(from < maximum() ? from + 1 : from);
    } else {
        SetPos(from > minimum() ? from - 1 : from);
    }
    const int position = value();  // clamped to the range
    emit wheelStep(position);
    event->accept();
}
