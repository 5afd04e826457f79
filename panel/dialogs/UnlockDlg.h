#pragma once
// Asks for the panel password; closes with OK only on an exact match.

#include "dialogkit/Dialog.h"

#include <QString>

class CUnlockDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CUnlockDlg(QWidget* parent = nullptr);

    // Closes with OK when the entry equals m_password exactly (case and
    // length included); otherwise reports the mismatch and stays open.
    void OnOK() override;

    QString m_password;  // the password to match
};
