#include "MainWindowTemplate.h"

#include "dialogkit/ControlIds.h"

namespace {

using K = ControlKind;

// Bitmaps of the picture labels: lettering in the dialog's text colour.
constexpr int IDB_LBL_POWER = 149;
constexpr int IDB_LBL_DEGREES = 150;
constexpr int IDB_LBL_FREQ = 151;
constexpr int IDB_LBL_LINE = 152;
constexpr int IDB_LBL_MIC = 153;
constexpr int IDB_LBL_LINE_DISP = 154;
constexpr int IDB_LBL_MHZ = 155;
constexpr int IDB_LBL_MIC_DISP = 156;
constexpr int IDB_LBL_PWR = 157;
constexpr int IDB_LBL_SWR = 158;
constexpr int IDB_LBL_WATT = 160;

// The scale texts sit in the gap between a slider and the separator below
// it: minimum at the left end, maximum at the right end, unit in the middle.
// Their ids are private to this window (the original texts had none).
constexpr int kScaleLeft = 73;
constexpr int kScaleRight = 371;
constexpr int kScaleWidth = 40;
constexpr int kScaleHeight = 9;
constexpr int kUnitX = (kScaleLeft + kScaleRight - kScaleWidth) / 2;
constexpr int kMaxX = kScaleRight - kScaleWidth;

constexpr int IDC_SCALE_FREQ_MIN = 1200;
constexpr int IDC_SCALE_FREQ_UNIT = 1201;
constexpr int IDC_SCALE_FREQ_MAX = 1202;
constexpr int IDC_SCALE_POWER_MIN = 1203;
constexpr int IDC_SCALE_POWER_UNIT = 1204;
constexpr int IDC_SCALE_POWER_MAX = 1205;
constexpr int IDC_SCALE_LINE_MIN = 1206;
constexpr int IDC_SCALE_LINE_MAX = 1207;
constexpr int IDC_SCALE_MIC_MIN = 1208;
constexpr int IDC_SCALE_MIC_MAX = 1209;

constexpr ControlTemplate kControls[] = {
    {IDC_OK, K::DefPushButton, "OK", 346, 266, 30, 14, CF_HIDDEN},
    {IDC_CANCEL, K::PushButton, "Cancel", 383, 266, 29, 14, CF_HIDDEN},
    {IDC_PROGRESS_AUDIO, K::Progress, nullptr, 61, 71, 328, 13},
    {IDC_STATIC_STMONO, K::Static, "Static", 7, 68, 49, 16},
    {IDC_SLIDER_FREQ, K::Slider, nullptr, 73, 94, 298, 13},
    {IDC_SLIDER_POWER, K::Slider, nullptr, 73, 123, 298, 13},
    {IDC_SLIDER_LINEVOL, K::Slider, nullptr, 73, 154, 298, 13},
    {IDC_SLIDER_MICVOL, K::Slider, nullptr, 73, 184, 298, 13},
    {IDC_DISP_TEMPERATURE, K::Static, "0", 312, 13, 39, 39},
    {IDC_BTN_POWER, K::PushButton, "ON\nOFF", 7, 220, 45, 51},
    {IDC_BTN_LINE, K::PushButton, "LINE\nMUTE", 58, 220, 36, 22},
    {IDC_BTN_MIC, K::PushButton, "MIC\nMUTE", 58, 249, 36, 22},
    {IDC_BTN_ECHO, K::PushButton, "ECHO", 100, 220, 36, 22},
    {IDC_BTN_STMONO, K::PushButton, "ST/MONO", 100, 249, 36, 22},
    {IDC_BTN_BACKLIGHT, K::PushButton, "Back\nLight", 142, 220, 36, 22},
    {IDC_BTN_SET, K::PushButton, "SET", 142, 249, 36, 22},
    {IDC_BTN_DEVICEINFO, K::PushButton, "DEVICEINFO", 183, 249, 54, 22},
    {IDC_STATIC_DEVTYPE, K::Static, "Vemra", 295, 226, 99, 40},
    {IDC_BTN_LOCK, K::PushButton, "LOCK/UNLOCK", 183, 220, 54, 22},
    {IDC_DISP_FWDPOWER, K::Static, "0.0", 178, 13, 22, 16},
    {IDC_DISP_SWR, K::Static, "0.0", 178, 35, 25, 16},
    {IDC_DISP_LINEVOL, K::Static, "0", 283, 13, 16, 21},
    {IDC_DISP_FREQ, K::Static, "0", 30, 22, 65, 31},
    {IDC_DISP_MICVOL, K::Static, "0", 282, 34, 16, 15},
    {IDC_BTN_SCHEDULE, K::PushButton, "Scheduled\nTask", 244, 220, 45, 51},
    {IDC_BTN_FREQ_UP, K::PushButton, nullptr, 387, 94, 9, 8},
    {IDC_BTN_FREQ_DOWN, K::PushButton, nullptr, 387, 103, 9, 8},
    {IDC_BTN_PWR_UP, K::PushButton, nullptr, 387, 125, 9, 8},
    {IDC_BTN_PWR_DOWN, K::PushButton, nullptr, 387, 134, 9, 8},
    {IDC_BTN_LINEVOL_UP, K::PushButton, nullptr, 387, 156, 9, 8},
    {IDC_BTN_LINEVOL_DOWN, K::PushButton, nullptr, 387, 165, 9, 8},
    {IDC_BTN_MICVOL_UP, K::PushButton, nullptr, 387, 185, 9, 8},
    {IDC_BTN_MICVOL_DOWN, K::PushButton, nullptr, 387, 194, 9, 8},

    // Separators between the rows.
    {-1, K::Separator, nullptr, 7, 88, 405, 1},
    {-1, K::Separator, nullptr, 7, 118, 405, 1},
    {-1, K::Separator, nullptr, 7, 148, 405, 1},
    {-1, K::Separator, nullptr, 7, 178, 405, 1},
    {-1, K::Separator, nullptr, 7, 208, 405, 1},

    // Slider scales.
    {IDC_SCALE_FREQ_MIN, K::Static, "87.0", kScaleLeft, 108, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_FREQ_UNIT, K::Static, "MHz", kUnitX, 108, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_FREQ_MAX, K::Static, "108.0", kMaxX, 108, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_POWER_MIN, K::Static, "0.3", kScaleLeft, 137, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_POWER_UNIT, K::Static, "W", kUnitX, 137, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_POWER_MAX, K::Static, "15.0", kMaxX, 137, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_LINE_MIN, K::Static, "1", kScaleLeft, 168, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_LINE_MAX, K::Static, "13", kMaxX, 168, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_MIC_MIN, K::Static, "1", kScaleLeft, 198, kScaleWidth, kScaleHeight, CF_CENTER},
    {IDC_SCALE_MIC_MAX, K::Static, "30", kMaxX, 198, kScaleWidth, kScaleHeight, CF_CENTER},

    // Picture labels.
    {-1, K::Picture, nullptr, 7, 95, 50, 21, CF_NONE, IDB_LBL_FREQ},
    {-1, K::Picture, nullptr, 7, 126, 61, 18, CF_NONE, IDB_LBL_POWER},
    {-1, K::Picture, nullptr, 7, 154, 50, 19, CF_NONE, IDB_LBL_LINE},
    {-1, K::Picture, nullptr, 7, 184, 39, 17, CF_NONE, IDB_LBL_MIC},
    {-1, K::Picture, nullptr, 95, 34, 33, 18, CF_NONE, IDB_LBL_MHZ},
    {-1, K::Picture, nullptr, 135, 13, 40, 18, CF_NONE, IDB_LBL_PWR},
    {-1, K::Picture, nullptr, 206, 13, 10, 15, CF_NONE, IDB_LBL_WATT},
    {-1, K::Picture, nullptr, 135, 35, 40, 17, CF_NONE, IDB_LBL_SWR},
    {-1, K::Picture, nullptr, 231, 13, 50, 19, CF_NONE, IDB_LBL_LINE_DISP},
    {-1, K::Picture, nullptr, 241, 35, 39, 17, CF_NONE, IDB_LBL_MIC_DISP},
    {-1, K::Picture, nullptr, 356, 13, 33, 41, CF_NONE, IDB_LBL_DEGREES},
};

constexpr ScaleText kScales[] = {
    {IDC_SCALE_FREQ_MIN, IDC_SLIDER_FREQ, ScaleEnd::Minimum},
    {IDC_SCALE_FREQ_UNIT, IDC_SLIDER_FREQ, ScaleEnd::Middle},
    {IDC_SCALE_FREQ_MAX, IDC_SLIDER_FREQ, ScaleEnd::Maximum},
    {IDC_SCALE_POWER_MIN, IDC_SLIDER_POWER, ScaleEnd::Minimum},
    {IDC_SCALE_POWER_UNIT, IDC_SLIDER_POWER, ScaleEnd::Middle},
    {IDC_SCALE_POWER_MAX, IDC_SLIDER_POWER, ScaleEnd::Maximum},
    {IDC_SCALE_LINE_MIN, IDC_SLIDER_LINEVOL, ScaleEnd::Minimum},
    {IDC_SCALE_LINE_MAX, IDC_SLIDER_LINEVOL, ScaleEnd::Maximum},
    {IDC_SCALE_MIC_MIN, IDC_SLIDER_MICVOL, ScaleEnd::Minimum},
    {IDC_SCALE_MIC_MAX, IDC_SLIDER_MICVOL, ScaleEnd::Maximum},
};

}  // namespace

const std::span<const ScaleText> kScaleTexts{kScales};

const DialogTemplate kTransmitterDialogTemplate = {
    IDD_TRANSMITTER_DIALOG, "Vemra_K2 PC control   V1.0", 419, 287, "MS Sans Serif", 10, kControls,
};
