#include "AboutDlg.h"

#include "controls/Resources.h"
#include "dialogkit/ControlIds.h"

namespace {

constexpr int IDC_ABOUT_ICON = 1100;  // the icon's place; no behaviour of its own

constexpr ControlTemplate kControls[] = {
    {IDC_ABOUT_ICON, ControlKind::Picture, nullptr, 11, 17, 20, 20},
    {-1, ControlKind::Static, "VO-Raduzarizad Version 1.0", 40, 10, 119, 8},
    {-1, ControlKind::Static, "Vemra_K2 PC control", 40, 25, 119, 8},
    {IDC_OK, ControlKind::DefPushButton, "OK", 178, 7, 50, 14},
};

}  // namespace

const DialogTemplate kAboutDialogTemplate = {
    IDD_ABOUTBOX, "About VO-Raduzarizad", 235, 55, "MS Sans Serif", 8, kControls,
};

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(kAboutDialogTemplate, parent) { Bind(IDC_ABOUT_ICON, &m_icon); }

bool CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The icon is drawn at the size the platform gives a standard icon.
    const QIcon icon = LoadIconResource(IDR_MAINFRAME);
    m_icon.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_icon.setPixmap(icon.pixmap(m_icon.size()));
    return true;
}
