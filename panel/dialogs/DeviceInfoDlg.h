#pragma once
// The "DEVICEINFO" dialog: the transmitter's serial number, firmware version
// and device type, read once when it opens.

#include "dialogkit/Dialog.h"

class CDeviceInfoDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CDeviceInfoDlg(QWidget* parent = nullptr);

    // Lays the dialog out and reads the three texts in one hold of the device
    // mutex; a failed read shows its failure text in place of the value.
    bool OnInitDialog() override;
};
