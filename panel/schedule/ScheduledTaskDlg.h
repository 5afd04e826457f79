#pragma once
// "Scheduled Task": edits the five schedule rows. Rows 1-3 have a date and a
// time, rows 4-5 ("Everyday") a time only; every row has an operation.
// The caller fills m_tasks before DoModal and reads it back after OK.

#include "core/LocalTime.h"
#include "core/ScheduledTask.h"
#include "dialogkit/Dialog.h"
#include "dialogkit/DialogTemplate.h"

#include <QComboBox>
#include <cstdint>

class QDateEdit;
class QTimeEdit;

// Dialog resource 148.
extern const DialogTemplate kScheduledTaskTemplate;

class CScheduledTaskDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CScheduledTaskDlg(QWidget* parent = nullptr);

    // Shows m_tasks: dates and times, and each row's operation as the
    // selected item (none for an operation no item has).
    bool OnInitDialog() override;
    // Builds m_tasks from the controls, then ends the dialog with IDC_OK.
    void OnOK() override;

    // Moves m_date/m_time into the pickers (false) or back (true). A picker
    // shows only part of its fields; the part it hides is kept.
    void UpdateData(bool saveAndValidate);
    // Builds m_tasks from m_date, m_time and the combo boxes; `now` is the
    // moment of confirmation (everyday rows fall due today or tomorrow).
    void BuildRows(std::int64_t now);

    // The operation box of row `row` (0..4).
    QComboBox& OperationBox(int row) { return m_cboOperation[kTaskRows - 1 - row]; }
    QDateEdit* DatePicker(int row) const;
    QTimeEdit* TimePicker(int row) const;

    // Element k is control 1059 - k: element 0 is row 5, element 4 is row 1.
    QComboBox m_cboOperation[kTaskRows];
    // The pickers' values as local calendar fields, so that moving a value
    // into a picker and back never changes it (a moment would be normalised
    // on the way, e.g. a time inside a daylight-saving gap).
    LocalFields m_date[kTaskRows];  // date picker of row k (1046 + 2k)
    LocalFields m_time[kTaskRows];  // time picker of row k (1045 + 2k)
    ScheduledTask m_tasks[kTaskRows];
};
