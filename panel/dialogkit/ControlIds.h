#pragma once
// Control ids and resource numbers of the panel's dialogs. The numbers are
// the original resource numbers.

// Dialog resources.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDS_ABOUTBOX = 101;  // "&About VO-Raduzarizad..."
constexpr int IDD_TRANSMITTER_DIALOG = 102;
constexpr int IDD_DEVICEINFO = 144;
constexpr int IDD_PROTECTSETTING = 145;
constexpr int IDD_LOCK = 146;
constexpr int IDD_UNLOCK = 147;
constexpr int IDD_SCHEDULEDTASK = 148;

constexpr int IDC_OK = 1;
constexpr int IDC_CANCEL = 2;
constexpr int IDM_ABOUTBOX = 16;  // system-menu command of the About entry

// Main window.
constexpr int IDC_PROGRESS_AUDIO = 1000;
constexpr int IDC_STATIC_STMONO = 1001;
constexpr int IDC_SLIDER_FREQ = 1006;
constexpr int IDC_SLIDER_POWER = 1007;
constexpr int IDC_SLIDER_LINEVOL = 1008;
constexpr int IDC_SLIDER_MICVOL = 1009;
constexpr int IDC_DISP_TEMPERATURE = 1010;
constexpr int IDC_BTN_POWER = 1023;
constexpr int IDC_BTN_LINE = 1024;
constexpr int IDC_BTN_MIC = 1025;
constexpr int IDC_BTN_ECHO = 1026;
constexpr int IDC_BTN_STMONO = 1027;
constexpr int IDC_BTN_BACKLIGHT = 1028;
constexpr int IDC_BTN_SET = 1029;
constexpr int IDC_BTN_DEVICEINFO = 1030;
constexpr int IDC_STATIC_DEVTYPE = 1031;
constexpr int IDC_BTN_LOCK = 1036;
constexpr int IDC_DISP_FWDPOWER = 1037;
constexpr int IDC_DISP_SWR = 1038;
constexpr int IDC_DISP_LINEVOL = 1039;
constexpr int IDC_DISP_FREQ = 1040;
constexpr int IDC_DISP_MICVOL = 1041;
constexpr int IDC_BTN_SCHEDULE = 1056;
constexpr int IDC_BTN_FREQ_UP = 1057;
constexpr int IDC_BTN_FREQ_DOWN = 1058;
constexpr int IDC_BTN_PWR_UP = 1059;
constexpr int IDC_BTN_PWR_DOWN = 1060;
constexpr int IDC_BTN_LINEVOL_UP = 1061;
constexpr int IDC_BTN_LINEVOL_DOWN = 1062;
constexpr int IDC_BTN_MICVOL_UP = 1063;
constexpr int IDC_BTN_MICVOL_DOWN = 1064;

// Device information dialog.
constexpr int IDC_INFO_SERIAL = 1032;
constexpr int IDC_INFO_VERSION = 1033;
constexpr int IDC_INFO_DEVTYPE = 1034;

// Protection settings dialog.
constexpr int IDC_EDIT_TMPPT = 1035;
constexpr int IDC_EDIT_SWRPT = 1036;

// Lock and unlock dialogs.
constexpr int IDC_EDIT_PASSWORD1 = 1042;
constexpr int IDC_EDIT_PASSWORD2 = 1043;
constexpr int IDC_EDIT_UNLOCK = 1044;

// Scheduled task dialog, for row k = 0..4: time picker 1045 + 2k, date
// picker 1046 + 2k, operation combo box 1055 + k (the dialog's combo box
// array runs the other way: its element k is control 1059 - k).
constexpr int IDC_TASK_TIME_FIRST = 1045;
constexpr int IDC_TASK_DATE_FIRST = 1046;
constexpr int IDC_TASK_OPERATION_LAST = 1059;
