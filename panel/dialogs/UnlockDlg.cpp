#include "UnlockDlg.h"

#include "dialogkit/ControlIds.h"
#include "dialogkit/MessageBox.h"

namespace {

constexpr ControlTemplate kControls[] = {
    {-1, ControlKind::Static, "Password", 7, 22, 37, 10},
    {IDC_EDIT_UNLOCK, ControlKind::PasswordEdit, nullptr, 52, 21, 91, 13},
    {IDC_OK, ControlKind::DefPushButton, "OK", 41, 53, 34, 14},
    {IDC_CANCEL, ControlKind::PushButton, "Cancel", 86, 53, 34, 14},
};

constexpr DialogTemplate kTemplate{IDD_UNLOCK, "Unlock", 160, 74, "System", 10, kControls};

}  // namespace

CUnlockDlg::CUnlockDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

void CUnlockDlg::OnOK()
{
    if (GetDlgItemText(IDC_EDIT_UNLOCK) != m_password) {
        PanelMessageBox(this, QStringLiteral("Password Error"), QStringLiteral("Error"));
        return;
    }
    EndDialog(IDC_OK);
}
