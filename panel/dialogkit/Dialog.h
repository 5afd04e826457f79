#pragma once
// Base of every dialog of the panel: lays the dialog out from its template,
// binds custom controls to their ids, and routes OK (id 1, Enter) and
// Cancel (id 2, Escape, the close box) to OnOK and OnCancel.

#include "DialogTemplate.h"
#include "controls/ColorRef.h"

#include <QDialog>
#include <QString>
#include <map>

class CDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CDialog(const DialogTemplate& tmpl, QWidget* parent = nullptr);

    // Initialises the dialog, then runs it modally. Returns the code given to
    // EndDialog (IDC_OK, IDC_CANCEL, or 0 when initialisation ended it).
    int DoModal();

    // Lays the template out; derived classes call this first.
    virtual bool OnInitDialog();
    virtual void OnOK();      // EndDialog(IDC_OK)
    virtual void OnCancel();  // EndDialog(IDC_CANCEL)
    void EndDialog(int result);

    // The control with `id`, or null.
    QWidget* GetDlgItem(int id) const;
    // Text of a label, button or edit field with `id` (empty when none).
    QString GetDlgItemText(int id) const;
    void SetDlgItemText(int id, const QString& text);

    // The program-wide dialog colours: the face and the static text of every
    // dialog laid out from then on. Edit fields keep the system colours.
    static void SetDialogBkColor(ColorRef background, ColorRef text);
    // Puts the program-wide colours (if any were set) on `dialog`.
    static void ApplyDialogColors(QWidget* dialog);

protected:
    // Attaches a control the dialog constructed itself to template id `id`.
    // Call before OnInitDialog.
    void Bind(int id, QWidget* control);

    void accept() override;
    void reject() override;
    // Enter with no visible default button still means OK, as it does for a
    // dialog whose OK button is hidden.
    void keyPressEvent(QKeyEvent* event) override;

    const DialogTemplate& m_template;
    std::map<int, QWidget*> m_bound;
    std::map<int, QWidget*> m_controls;
    bool m_laidOut = false;
    bool m_ended = false;
};
