#include "DeviceInfoDlg.h"

#include "core/DeviceAccess.h"
#include "dialogkit/ControlIds.h"

#include <Talvex.h>

#include <cstring>

namespace {

constexpr unsigned kTextSize = 20;

constexpr ControlTemplate kControls[] = {
    {-1, ControlKind::Static, "Serial Number:", 7, 20, 80, 10},
    {-1, ControlKind::Static, "MCU Program Version:", 7, 38, 80, 11},
    {-1, ControlKind::Static, "Device Type:", 7, 56, 80, 12},
    {IDC_INFO_SERIAL, ControlKind::Static, nullptr, 93, 20, 122, 9},
    {IDC_INFO_VERSION, ControlKind::Static, nullptr, 93, 38, 122, 9},
    {IDC_INFO_DEVTYPE, ControlKind::Static, nullptr, 93, 56, 122, 9},
    {IDC_OK, ControlKind::PushButton, "OK", 93, 86, 34, 12},
    {IDC_CANCEL, ControlKind::PushButton, "Cancel", 165, 84, 50, 14, CF_HIDDEN},
};

constexpr DialogTemplate kTemplate{IDD_DEVICEINFO, "DeviceInfomation", 222, 105, "MS Sans Serif", 10, kControls};

// The buffer's text up to its terminator, never past its end.
QString BufferText(const char (&buffer)[kTextSize])
{
    return QString::fromLatin1(buffer, static_cast<qsizetype>(strnlen(buffer, kTextSize)));
}

}  // namespace

CDeviceInfoDlg::CDeviceInfoDlg(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CDeviceInfoDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    char text[kTextSize] = {};
    const CDeviceSession device;
    SetDlgItemText(IDC_INFO_SERIAL, device.Call(GetSerialNum, text, kTextSize)
                                        ? BufferText(text)
                                        : QStringLiteral("Get Serial Number Fail"));
    SetDlgItemText(IDC_INFO_VERSION, device.Call(GetVersionNum, text, kTextSize)
                                         ? BufferText(text)
                                         : QStringLiteral("Get SCM Program Version Fail"));
    SetDlgItemText(IDC_INFO_DEVTYPE, device.Call(GetDevType, text, kTextSize)
                                         ? QStringLiteral("Vemra-") + BufferText(text)
                                         : QStringLiteral("Get Device Type Fail"));
    return true;
}
