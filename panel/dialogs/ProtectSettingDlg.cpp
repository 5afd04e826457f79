#include "ProtectSettingDlg.h"

#include "EntryConversion.h"
#include "core/DeviceAccess.h"
#include "dialogkit/ControlIds.h"
#include "dialogkit/MessageBox.h"

#include <Talvex.h>

namespace {

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

// The two protection points: each row reads, checks and sends one field.
struct ProtectionPoint {
    int editId;
    int (*get)(int* value, int replyDelayMs);
    int (*set)(int value, int replyDelayMs);
    std::optional<int> (*parse)(std::u16string_view text);
    int minimum;
    int maximum;
    bool tenths;  // the device value is in tenths, the field shows units
    const char* rangeText;
    const char* failText;
};
constexpr ProtectionPoint kPoints[] = {
    {IDC_EDIT_TMPPT, GetTmpPt, SetTmpPt, AtoiEntry, TALVEX_TEMP_POINT_MIN, TALVEX_TEMP_POINT_MAX, false,
     "The Temperature protection Set out of range", "Set Temperature protection Fail"},
    {IDC_EDIT_SWRPT, GetStdyWavePt, SetStdyWavePt, TenthsEntry, TALVEX_SWR_POINT_MIN, TALVEX_SWR_POINT_MAX, true,
     "The Standing-wave  protection Set out of range", "Set Standing-wave  protection Fail"},
};

}  // namespace

CProtectSettingDlg::CProtectSettingDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CProtectSettingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    const CDeviceSession device;
    for (const ProtectionPoint& point : kPoints) {
        int value = 0;
        if (device.Call(point.get, &value)) {
            SetDlgItemText(point.editId,
                           point.tenths ? QString::asprintf("%.1lf", value * 0.1) : QString::asprintf("%d", value));
        }
    }
    return true;
}

void CProtectSettingDlg::OnOK()
{
    for (const ProtectionPoint& point : kPoints) {
        const QString text = GetDlgItemText(point.editId);
        if (text.isEmpty()) {
            continue;
        }
        const std::optional<int> value = point.parse(Utf16(text));
        if (!value || *value < point.minimum || *value > point.maximum) {
            PanelMessageBox(this, QString::fromLatin1(point.rangeText), kError);
            return;
        }
        // The message is shown inside the lock, so the pollers wait for the
        // operator rather than talk to a device that just refused a command.
        const CDeviceSession device;
        if (!device.Call(point.set, *value)) {
            PanelMessageBox(this, QString::fromLatin1(point.failText), kError);
        }
    }
    EndDialog(IDC_OK);
}
