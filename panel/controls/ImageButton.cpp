#include "ImageButton.h"

#include "Resources.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cstdint>
#include <utility>

namespace {

// Which slot colours the face and the caption, by state.
struct StateColours {
    ImageButtonColor face;
    ImageButtonColor text;
};
constexpr StateColours kActive{IBC_BK_ACTIVE, IBC_FG_ACTIVE};  // hovered or pressed
constexpr StateColours kFocus{IBC_BK_FOCUS, IBC_FG_NORMAL};    // focused, neither
constexpr StateColours kNormal{IBC_BK_NORMAL, IBC_FG_NORMAL};

// Slots 0, 2, 4 take the button face colour, 1, 3, 5 the button text colour.
constexpr std::array<QPalette::ColorRole, 6> kDefaultRoles{
    QPalette::Button,     QPalette::ButtonText, QPalette::Button,
    QPalette::ButtonText, QPalette::Button,     QPalette::ButtonText,
};

constexpr int kImageGap = 3;  // between the left edge, the image and the caption
constexpr QRgb kWhite = 0xFFFFFFFFu;

// The image with every pixel of colour `transparent` made fully transparent;
// a null image when there is no memory for it.
QImage MakeTransparencyMask(const QImage& bitmap, ColorRef transparent)
{
    QImage image = bitmap.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        return image;
    }
    const QRgb key = qRgb(RedOf(transparent), GreenOf(transparent), BlueOf(transparent));
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key) {
                line[x] = 0;
            }
        }
    }
    return image;
}

// Every pixel of `source` that is not white, in one colour; the rest clear.
QImage Silhouette(const QImage& source, const QColor& colour)
{
    QImage ink(source.size(), QImage::Format_ARGB32);
    const QRgb fill = colour.rgb();
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(ink.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            out[x] = (in[x] | 0xFF000000u) == kWhite ? 0 : fill;
        }
    }
    return ink;
}

}  // namespace

CImageButton::CImageButton(QWidget* parent) : QPushButton(parent)
{
    setMouseTracking(true);  // hover follows the pointer with no button held
    ResetColors(false);
    connect(this, &QAbstractButton::clicked, this, &CImageButton::OnClicked);
}

CImageButton::~CImageButton() = default;

bool CImageButton::SetStateColor(int slot, ColorRef colour, bool repaint)
{
    const auto index = static_cast<std::uint8_t>(slot);
    if (index >= m_clr.size()) {
        return false;
    }
    m_clr[index] = colour;
    if (repaint) {
        update();
    }
    return true;
}

ColorRef CImageButton::GetStateColor(int slot) const
{
    const auto index = static_cast<std::uint8_t>(slot);
    return index < m_clr.size() ? m_clr[index] : 0;
}

void CImageButton::ResetColors(bool repaint)
{
    for (std::size_t i = 0; i < m_clr.size(); ++i) {
        m_clr[i] = FromQColor(palette().color(QPalette::Active, kDefaultRoles[i]));
    }
    if (repaint) {
        update();
    }
}

void CImageButton::LoadImages(int idActive, ColorRef transparentActive, int idNormal, ColorRef transparentNormal)
{
    // A resource that cannot be found gives a null image: the button is then
    // simply without images.
    const QImage active = LoadBitmapResource(idActive).toImage();
    const QImage normal = idNormal != 0 ? LoadBitmapResource(idNormal).toImage() : QImage();
    SetImages(active, transparentActive, normal, transparentNormal);
}

bool CImageButton::SetImages(const QImage& active, ColorRef transparentActive, const QImage& normal,
                             ColorRef transparentNormal)
{
    ReleaseImages();
    bool made = true;
    if (!active.isNull()) {
        const std::array<std::pair<const QImage*, ColorRef>, 2> sources{{
            {&active, transparentActive},
            {&normal, transparentNormal},
        }};
        for (std::size_t i = 0; i < sources.size() && made; ++i) {
            const auto& [bitmap, transparent] = sources[i];
            if (bitmap->isNull()) {
                continue;
            }
            ButtonImage& image = m_images[i];
            image.bitmap = MakeTransparencyMask(*bitmap, transparent);
            image.width = bitmap->width();
            image.height = bitmap->height();
            image.transparent = transparent;
            if (image.bitmap.isNull()) {
                made = false;
            }
        }
        if (!made) {
            ReleaseImages();
        }
    }
    update();
    return made;
}

void CImageButton::ReleaseImages() { m_images = {}; }

void CImageButton::EndHover()
{
    if (m_bHover) {
        m_bHover = false;
        update();
    }
}

void CImageButton::OnClicked() { setFocus(Qt::MouseFocusReason); }

void CImageButton::TrackHover(const QPoint& pos, Qt::MouseButtons buttons)
{
    // A drag that enters the button does not light it.
    if ((buttons & Qt::LeftButton) && !m_bHover) {
        return;
    }
    // Also in an inactive window: deactivation only ends the hover there is.
    if (rect().contains(pos)) {
        if (!m_bHover) {
            m_bHover = true;
            update();
        }
    } else {
        EndHover();
    }
}

void CImageButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    TrackHover(event->position().toPoint(), QApplication::mouseButtons());
}

void CImageButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    EndHover();
}

void CImageButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    TrackHover(event->position().toPoint(), event->buttons());
}

void CImageButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click is a click of its own. Some
    // platforms send a press before the double click: count that one only.
    if (event->button() == Qt::LeftButton && !isDown()) {
        mousePressEvent(event);
    } else {
        event->accept();
    }
}

void CImageButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    EndHover();
}

void CImageButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        // Only when this button itself is switched off: a whole window being
        // disabled keeps its focus where it is.
        if (!isEnabled() && parentWidget() && parentWidget()->isEnabled()) {
            MoveFocusOn();
            EndHover();
        }
        break;
    case QEvent::ActivationChange:
        if (!isActiveWindow()) {
            EndHover();
        }
        break;
    default: break;
    }
}

void CImageButton::MoveFocusOn()
{
    // The next tab stop after this button among the parent's controls, or
    // the parent itself when there is none.
    QWidget* parent = parentWidget();
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (parent->isAncestorOf(w) && w->isEnabled() && w->isVisibleTo(parent) && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    parent->setFocus(Qt::OtherFocusReason);
}

void CImageButton::DrawFace(QPainter& painter, const QRect& r)
{
    const StateColours& colours = (m_bHover || m_bPressed) ? kActive : m_bFocused ? kFocus : kNormal;
    painter.fillRect(r, ToQColor(m_clr[colours.face]));
}

void CImageButton::DrawFrame(QPainter& painter, const QRect& r, bool sunken)
{
    QColor topLeft = palette().color(QPalette::Light);
    QColor bottomRight = palette().color(QPalette::Dark);
    if (sunken) {
        std::swap(topLeft, bottomRight);
    }
    const int x = r.x();
    const int y = r.y();
    const int cx = r.width();
    const int cy = r.height();
    painter.fillRect(x, y, cx - 1, 1, topLeft);
    painter.fillRect(x, y, 1, cy - 1, topLeft);
    painter.fillRect(x + cx - 1, y, 1, cy, bottomRight);
    painter.fillRect(x, y + cy - 1, cx, 1, bottomRight);
}

QRect CImageButton::PlaceImage(const ButtonImage& image, const QRect& r, QRect* caption) const
{
    QRect place(0, r.top() + (r.height() - image.height) / 2, image.width, image.height);
    if (text().isEmpty()) {
        place.moveLeft(r.left() + (r.width() - image.width) / 2);
    } else {
        place.moveLeft(r.left() + kImageGap);
        if (caption) {
            caption->setLeft(caption->left() + image.width + kImageGap);
        }
    }
    if (m_bPressed) {
        place.translate(1, 1);
    }
    return place;
}

void CImageButton::DrawImage(QPainter& painter, const QRect& r, QRect* caption)
{
    const bool active = m_bPressed || m_bHover;
    const ButtonImage& image = (!active && m_images[1].IsSet()) ? m_images[1] : m_images[0];
    const QRect place = PlaceImage(image, r, caption);

    if (!m_bDisabled || !m_bGrayWhenDisabled) {
        painter.drawImage(place.topLeft(), image.bitmap);
        return;
    }
    // Greyed: the image on white, then everything that is not white drawn
    // embossed in the edge colours, like the engraved caption.
    QImage onWhite(image.bitmap.size(), QImage::Format_ARGB32);
    onWhite.fill(kWhite);
    {
        QPainter composer(&onWhite);
        composer.drawImage(0, 0, image.bitmap);
    }
    painter.drawImage(place.topLeft() + QPoint(1, 1), Silhouette(onWhite, palette().color(QPalette::Light)));
    painter.drawImage(place.topLeft(), Silhouette(onWhite, palette().color(QPalette::Dark)));
}

void CImageButton::DrawCaption(QPainter& painter, QRect caption)
{
    if (m_bPressed) {
        caption.translate(1, 1);
    }
    constexpr int kFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextShowMnemonic;
    const QSize measured =
        painter.fontMetrics().boundingRect(QRect(0, 0, caption.width(), caption.height()), kFlags, text()).size();
    // Centre the measured block; each line is centred across the caption.
    QRect textRect(caption.left(), caption.top() + (caption.height() - measured.height()) / 2, caption.width(),
                   measured.height());
    if (m_bDisabled) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(textRect.translated(1, 1), kFlags | Qt::TextDontClip, text());
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(textRect, kFlags | Qt::TextDontClip, text());
        return;
    }
    const StateColours& colours = (m_bHover || m_bPressed) ? kActive : kNormal;
    painter.setPen(ToQColor(m_clr[colours.text]));
    painter.drawText(textRect, kFlags | Qt::TextDontClip, text());
}

void CImageButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_bPressed = isDown();
    m_bFocused = hasFocus();
    m_bDisabled = !isEnabled();

    const QRect r = rect();
    DrawFace(painter, r);
    if (m_bPressed) {
        DrawFrame(painter, r, true);
    } else if (m_bHover) {
        DrawFrame(painter, r, false);
    }
    QRect caption = r;
    if (m_images[0].IsSet()) {
        DrawImage(painter, r, &caption);
    }
    if (!text().isEmpty()) {
        DrawCaption(painter, caption);
    }
}
