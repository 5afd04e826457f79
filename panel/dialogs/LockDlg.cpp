#include "LockDlg.h"

#include "PasswordStore.h"
#include "dialogkit/ControlIds.h"
#include "dialogkit/MessageBox.h"

namespace {

constexpr ControlTemplate kControls[] = {
    {-1, ControlKind::Static, "The password is no longer than 16.", 15, 13, 119, 11},
    {-1, ControlKind::Static, "Password", 7, 27, 39, 12},
    {IDC_EDIT_PASSWORD1, ControlKind::PasswordEdit, nullptr, 53, 27, 92, 12},
    {-1, ControlKind::Static, "Enter Again", 7, 46, 39, 11},
    {IDC_EDIT_PASSWORD2, ControlKind::PasswordEdit, nullptr, 53, 46, 92, 12},
    {IDC_OK, ControlKind::DefPushButton, "OK", 36, 67, 34, 14},
    {IDC_CANCEL, ControlKind::PushButton, "Cancel", 80, 67, 34, 14},
};

constexpr DialogTemplate kTemplate{IDD_LOCK, "Lock", 152, 88, "System", 10, kControls};

}  // namespace

CLockDlg::CLockDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

QString CLockDlg::LimitEntry(const QString& entry)
{
    // Count characters, not UTF-16 units, so a character is never cut in half.
    qsizetype units = 0;
    for (int characters = 0; units < entry.size() && characters < kMaxPasswordLength; ++characters) {
        units += entry.at(units).isHighSurrogate() && units + 1 < entry.size() ? 2 : 1;
    }
    return entry.left(units);
}

bool CLockDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_EDIT_PASSWORD1, m_password);
    SetDlgItemText(IDC_EDIT_PASSWORD2, m_password);
    return true;
}

void CLockDlg::OnOK()
{
    const QString first = LimitEntry(GetDlgItemText(IDC_EDIT_PASSWORD1));
    const QString second = LimitEntry(GetDlgItemText(IDC_EDIT_PASSWORD2));
    if (first != second) {
        PanelMessageBox(this, QStringLiteral("The 1st and 2nd Enter is different"), QStringLiteral("Warning"));
        return;
    }
    if (!CPasswordStore().Write(first)) {
        PanelMessageBox(this, QStringLiteral("Save PassWord Fail"), QStringLiteral("Error"));
        return;
    }
    m_password = first;
    EndDialog(IDC_OK);
}
