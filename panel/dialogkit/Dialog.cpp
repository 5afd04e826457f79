#include "Dialog.h"

#include "ControlIds.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <optional>

namespace {

struct DialogColors {
    ColorRef background;
    ColorRef text;
};

std::optional<DialogColors>& ProgramDialogColors()
{
    static std::optional<DialogColors> colors;
    return colors;
}

// Gives `widget` the system colours explicitly, so that the dialog's own
// colours do not reach it through palette inheritance.
void KeepSystemColors(QWidget* widget)
{
    const QPalette system = QApplication::palette(widget);
    QPalette palette = widget->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, r, system.color(group, r));
        }
    }
    widget->setPalette(palette);
}

}  // namespace

CDialog::CDialog(const DialogTemplate& tmpl, QWidget* parent) : QDialog(parent), m_template(tmpl) {}

int CDialog::DoModal()
{
    m_ended = false;
    if (!OnInitDialog()) {
        return result();
    }
    if (m_ended) {  // initialisation already ended the dialog
        return result();
    }
    return exec();
}

bool CDialog::OnInitDialog()
{
    if (m_laidOut) {
        return true;
    }
    m_laidOut = true;
    m_controls = BuildDialog(this, m_template, m_bound);
    ApplyDialogColors(this);
    if (auto* ok = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_OK))) {
        connect(ok, &QAbstractButton::clicked, this, &CDialog::OnOK);
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_CANCEL))) {
        connect(cancel, &QAbstractButton::clicked, this, &CDialog::OnCancel);
    }
    return true;
}

void CDialog::OnOK() { EndDialog(IDC_OK); }
void CDialog::OnCancel() { EndDialog(IDC_CANCEL); }

void CDialog::EndDialog(int result)
{
    m_ended = true;
    setResult(result);
    QDialog::done(result);
}

QWidget* CDialog::GetDlgItem(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QString CDialog::GetDlgItemText(int id) const
{
    QWidget* control = GetDlgItem(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text();
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return button->text();
    }
    return control ? control->windowTitle() : QString();
}

void CDialog::SetDlgItemText(int id, const QString& text)
{
    QWidget* control = GetDlgItem(id);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    } else if (control) {
        control->setWindowTitle(text);
    }
}

void CDialog::Bind(int id, QWidget* control) { m_bound[id] = control; }

void CDialog::SetDialogBkColor(ColorRef background, ColorRef text)
{
    ProgramDialogColors() = DialogColors{background, text};
}

void CDialog::ApplyDialogColors(QWidget* dialog)
{
    const std::optional<DialogColors>& colors = ProgramDialogColors();
    if (!colors) {
        return;
    }
    QPalette palette = dialog->palette();
    palette.setColor(QPalette::Window, ToQColor(colors->background));
    palette.setColor(QPalette::WindowText, ToQColor(colors->text));
    dialog->setPalette(palette);
    dialog->setAutoFillBackground(true);
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(child) || qobject_cast<QAbstractSpinBox*>(child) ||
            qobject_cast<QComboBox*>(child)) {
            KeepSystemColors(child);
        }
    }
}

void CDialog::accept() { OnOK(); }

void CDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        // As in the platform's dialogs, Enter presses the push button that
        // has the focus; only elsewhere does it mean the default button.
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (focused && isAncestorOf(focused) && focused->isVisible() && focused->isEnabled()) {
            focused->click();
            return;
        }
        const auto buttons = findChildren<QPushButton*>();
        const bool visibleDefault = std::any_of(buttons.begin(), buttons.end(),
                                                [](const QPushButton* b) { return b->isDefault() && b->isVisible(); });
        if (!visibleDefault) {
            OnOK();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}
void CDialog::reject() { OnCancel(); }
