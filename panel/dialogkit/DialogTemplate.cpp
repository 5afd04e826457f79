#include "DialogTemplate.h"

#include "controls/Resources.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimeEdit>
#include <QWidget>
#include <cmath>

namespace {

int MulDiv(int number, int numerator, int denominator)
{
    // Rounds half away from zero, as the platform's MulDiv does.
    const long long product = static_cast<long long>(number) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

QWidget* CreateStandardControl(const ControlTemplate& c, QWidget* parent)
{
    const QString text = c.text ? QString::fromUtf8(c.text) : QString();
    switch (c.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, parent);
        if (c.kind == ControlKind::DefPushButton) {
            button->setDefault(true);
        }
        button->setAutoDefault(false);
        return button;
    }
    case ControlKind::Static: {
        auto* label = new QLabel(text, parent);
        // A static control shows its text as it is: bytes from the
        // transmitter must never be read as markup.
        label->setTextFormat(Qt::PlainText);
        const Qt::Alignment horizontal = (c.flags & CF_RIGHT)    ? Qt::AlignRight
                                         : (c.flags & CF_CENTER) ? Qt::AlignHCenter
                                                                 : Qt::AlignLeft;
        label->setAlignment(horizontal | Qt::AlignTop);
        return label;
    }
    case ControlKind::Picture: {
        // A picture control shows its bitmap at its natural size from the top left.
        auto* label = new QLabel(parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setPixmap(LoadBitmapResource(c.resource));
        return label;
    }
    case ControlKind::Separator: {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::Box);
        frame->setStyleSheet(QStringLiteral("border: 1px solid rgb(128,128,128);"));
        return frame;
    }
    case ControlKind::Edit:
    case ControlKind::PasswordEdit: {
        auto* edit = new QLineEdit(text, parent);
        if (c.kind == ControlKind::PasswordEdit) {
            edit->setEchoMode(QLineEdit::Password);
        }
        return edit;
    }
    case ControlKind::Slider: return new QSlider(Qt::Horizontal, parent);
    case ControlKind::Progress: {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        return bar;
    }
    case ControlKind::ComboBox: return new QComboBox(parent);
    case ControlKind::DatePicker: {
        auto* edit = new QDateEdit(parent);
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        return edit;
    }
    case ControlKind::TimePicker: {
        auto* edit = new QTimeEdit(parent);
        edit->setDisplayFormat(QLocale().timeFormat(QLocale::LongFormat).contains(QLatin1Char('s'))
                                   ? QStringLiteral("HH:mm:ss")
                                   : QLocale().timeFormat(QLocale::ShortFormat));
        return edit;
    }
    }
    return new QWidget(parent);
}

void ApplyText(QWidget* widget, const ControlTemplate& c)
{
    if (!c.text) {
        return;
    }
    const QString text = QString::fromUtf8(c.text);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else {
        widget->setWindowTitle(text);  // the control's own "window text"
    }
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    // The platform's average character width: the 52 letters, halved, rounded.
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (letters / 26 + 1) / 2;
    m_baseY = metrics.height();
}

int DialogUnits::toPixelsX(int x) const { return MulDiv(x, m_baseX, 4); }
int DialogUnits::toPixelsY(int y) const { return MulDiv(y, m_baseY, 8); }

QRect DialogUnits::toPixels(int x, int y, int cx, int cy) const
{
    const int left = toPixelsX(x);
    const int top = toPixelsY(y);
    return QRect(left, top, toPixelsX(x + cx) - left, toPixelsY(y + cy) - top);
}

QSize DialogUnits::toPixels(int cx, int cy) const { return QSize(toPixelsX(cx), toPixelsY(cy)); }

QFont DialogFont(const char* face, int pointSize)
{
    QFont font(QString::fromLatin1(face));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(MulDiv(pointSize, 96, 72));
    return font;
}

std::map<int, QWidget*> BuildDialog(QWidget* dialog, const DialogTemplate& tmpl, const std::map<int, QWidget*>& bound)
{
    const QFont font = DialogFont(tmpl.fontFace, tmpl.pointSize);
    dialog->setFont(font);
    dialog->setWindowTitle(QString::fromUtf8(tmpl.caption));
    const DialogUnits units(font);
    dialog->setFixedSize(units.toPixels(tmpl.cx, tmpl.cy));

    std::map<int, QWidget*> controls;
    for (const ControlTemplate& c : tmpl.controls) {
        QWidget* widget = nullptr;
        if (auto it = bound.find(c.id); c.id >= 0 && it != bound.end()) {
            widget = it->second;
            widget->setParent(dialog);
            ApplyText(widget, c);
        } else {
            widget = CreateStandardControl(c, dialog);
        }
        widget->setGeometry(units.toPixels(c.x, c.y, c.cx, c.cy));
        widget->setVisible(!(c.flags & CF_HIDDEN));
        if (c.id >= 0) {
            widget->setObjectName(QString::number(c.id));
            controls[c.id] = widget;
        }
    }
    return controls;
}
