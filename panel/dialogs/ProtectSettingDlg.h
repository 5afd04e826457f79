#pragma once
// The "SET" dialog: reads the transmitter's temperature and standing-wave
// protection points into two edit fields and sends the edited ones on OK.

#include "dialogkit/Dialog.h"

class CProtectSettingDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CProtectSettingDlg(QWidget* parent = nullptr);

    // Lays the dialog out and fills the fields from the device; a point that
    // cannot be read leaves its field empty.
    bool OnInitDialog() override;
    // Range-checks and sends the non-empty fields. Stays open after an
    // out-of-range entry; closes once the standing-wave field was empty or sent.
    void OnOK() override;
};
