#include "Dialog.h"

#include "ControlIds.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

CDialog::CDialog(const DialogTemplate& tmpl, QWidget* parent)
    : QDialog(parent), m_template(tmpl)
{
}

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
    if (auto* ok = qobject_cast<QAbstractButton*>(GetDlgItem(IDOK))) {
        connect(ok, &QAbstractButton::clicked, this, &CDialog::OnOK);
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(GetDlgItem(IDCANCEL))) {
        connect(cancel, &QAbstractButton::clicked, this, &CDialog::OnCancel);
    }
    return true;
}

void CDialog::OnOK() { EndDialog(IDOK); }
void CDialog::OnCancel() { EndDialog(IDCANCEL); }

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

void CDialog::accept() { OnOK(); }
void CDialog::reject() { OnCancel(); }
