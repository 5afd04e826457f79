#pragma once
// Sets the panel password: two masked entries that must agree. The agreed
// entry (its first 15 characters) is saved to the password store before the
// dialog closes with OK.

#include "dialogkit/Dialog.h"

#include <QString>

class CLockDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CLockDlg(QWidget* parent = nullptr);

    // Both entries start with m_password, so OK at once locks again with it.
    bool OnInitDialog() override;
    // Compares, saves and closes; warns and stays open when the entries
    // differ or the password cannot be saved.
    void OnOK() override;

    // The longest password the dialog stores, in characters.
    static constexpr int kMaxPasswordLength = 15;
    // `entry` cut to kMaxPasswordLength characters.
    static QString LimitEntry(const QString& entry);

    QString m_password;  // on entry the current password, after OK the new one
};
