#include "ProtectSettingDlg.h"

#include "dialogkit/ControlIds.h"
#include "device/DeviceAccess.h"
#include "EntryConversion.h"
#include "dialogkit/MessageBox.h"

#include <Talvex.h>

namespace {

constexpr int kReplyDelay = TALVEX_REPLY_DELAY_MS;
constexpr int kTemperatureMin = TALVEX_TEMP_POINT_MIN, kTemperatureMax = TALVEX_TEMP_POINT_MAX;  // degrees
constexpr int kSwrMin = TALVEX_SWR_POINT_MIN, kSwrMax = TALVEX_SWR_POINT_MAX;                  // tenths

constexpr ControlTemplate kControls[] = {
    {-1, ControlKind::Static, "Temperature\nprotection\n(50-70)", 7, 14, 60, 26},
    {-1, ControlKind::Static, "Standing-wave\nprotection\n(2.0-4.0)", 7, 45, 60, 26},
    {IDC_EDIT_TMPPT, ControlKind::Edit, nullptr, 74, 16, 61, 13},
    {IDC_EDIT_SWRPT, ControlKind::Edit, nullptr, 74, 47, 61, 13},
    {IDC_OK, ControlKind::PushButton, "OK", 27, 98, 40, 14},
    {IDC_CANCEL, ControlKind::PushButton, "Cancel", 74, 98, 40, 14},
};

constexpr DialogTemplate kTemplate{IDD_PROTECTSETTING, "ProtectSetting", 142, 119, "MS Sans Serif", 10, kControls};

const QString kError = QStringLiteral("Error");

std::u16string_view Utf16(const QString& text)
{
    return {QStringView(text).utf16(), static_cast<std::size_t>(text.size())};
}

}  // namespace

CProtectSettingDlg::CProtectSettingDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

const DialogTemplate& CProtectSettingDlg::Template() { return kTemplate; }

bool CProtectSettingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    int temperaturePoint = 0;
    int swrPoint = 0;
    DeviceAccess lock(g_csDevice);
    if (GetTmpPt(&temperaturePoint, kReplyDelay)) {
        SetDlgItemText(IDC_EDIT_TMPPT, QString::asprintf("%d", temperaturePoint));
    }
    if (GetStdyWavePt(&swrPoint, kReplyDelay)) {
        SetDlgItemText(IDC_EDIT_SWRPT, QString::asprintf("%.1lf", swrPoint * 0.1));
    }
    return true;
}

void CProtectSettingDlg::OnOK()
{
    const QString temperatureText = GetDlgItemText(IDC_EDIT_TMPPT);
    if (!temperatureText.isEmpty()) {
        const std::optional<int> point = AtoiEntry(Utf16(temperatureText));
        if (!point || *point < kTemperatureMin || *point > kTemperatureMax) {
            PanelMessageBox(this, QStringLiteral("The Temperature protection Set out of range"), kError);
            return;
        }
        // The message is shown inside the lock, so the pollers wait for the
        // operator rather than talk to a device that just refused a command.
        DeviceAccess lock(g_csDevice);
        if (!SetTmpPt(*point, kReplyDelay)) {
            PanelMessageBox(this, QStringLiteral("Set Temperature protection Fail"), kError);
        }
    }

    const QString swrText = GetDlgItemText(IDC_EDIT_SWRPT);
    if (swrText.isEmpty()) {
        EndDialog(IDC_OK);
        return;
    }
    const std::optional<int> tenths = TenthsEntry(Utf16(swrText));
    if (!tenths || *tenths < kSwrMin || *tenths > kSwrMax) {
        PanelMessageBox(this, QStringLiteral("The Standing-wave  protection Set out of range"), kError);
        return;
    }
    {
        DeviceAccess lock(g_csDevice);
        if (!SetStdyWavePt(*tenths, kReplyDelay)) {
            PanelMessageBox(this, QStringLiteral("Set Standing-wave  protection Fail"), kError);
        }
    }
    EndDialog(IDC_OK);
}
