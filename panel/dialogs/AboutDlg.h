#pragma once
// The About box (dialog resource 100): program icon, name and version.

#include "dialogkit/Dialog.h"

#include <QLabel>

class CAboutDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    bool OnInitDialog() override;

private:
    QLabel m_icon;
};

extern const DialogTemplate kAboutDialogTemplate;
