#include "ScheduledTaskDlg.h"

#include "core/LocalTime.h"
#include "core/ScheduleRules.h"
#include "dialogkit/ControlIds.h"

#include <QDateEdit>
#include <QTimeEdit>
#include <algorithm>

namespace {

using CK = ControlKind;

const ControlTemplate kControls[] = {
    {-1, CK::Static, "No", 7, 8, 18, 9},
    {-1, CK::Static, "Date", 30, 8, 24, 9},
    {-1, CK::Static, "Time", 85, 8, 24, 9},
    {-1, CK::Static, "Operation", 137, 7, 36, 9},
    {-1, CK::Static, "1", 7, 23, 18, 9},
    {-1, CK::Static, "2", 7, 38, 18, 9},
    {-1, CK::Static, "3", 7, 53, 18, 9},
    {-1, CK::Static, "4", 7, 68, 18, 9},
    {-1, CK::Static, "5", 7, 83, 18, 9},
    {1046, CK::DatePicker, nullptr, 30, 21, 49, 12},
    {1045, CK::TimePicker, nullptr, 85, 21, 40, 12},
    {1048, CK::DatePicker, nullptr, 30, 36, 49, 12},
    {1047, CK::TimePicker, nullptr, 85, 36, 40, 12},
    {1050, CK::DatePicker, nullptr, 30, 51, 49, 12},
    {1049, CK::TimePicker, nullptr, 85, 51, 40, 12},
    {1051, CK::TimePicker, nullptr, 85, 66, 40, 12},
    {1053, CK::TimePicker, nullptr, 85, 80, 40, 12},
    {1052, CK::DatePicker, nullptr, 16, 94, 49, 12, CF_HIDDEN},
    {1054, CK::DatePicker, nullptr, 16, 108, 49, 12, CF_HIDDEN},
    {-1, CK::Static, "Everyday", 29, 69, 48, 10},
    {-1, CK::Static, "Everyday", 29, 82, 48, 10},
    {1055, CK::ComboBox, nullptr, 132, 21, 70, 30},
    {1056, CK::ComboBox, nullptr, 132, 36, 70, 30},
    {1057, CK::ComboBox, nullptr, 132, 51, 70, 30},
    {1058, CK::ComboBox, nullptr, 132, 66, 70, 30},
    {1059, CK::ComboBox, nullptr, 132, 81, 70, 30},
    {IDC_OK, CK::DefPushButton, "OK", 69, 106, 34, 14},
    {IDC_CANCEL, CK::PushButton, "Cancel", 115, 106, 34, 14},
};

// Item index = operation code.
const char* const kOperationItems[] = {"Nothing", "Startup Device", "Shutdown Device"};
constexpr int kOperationItemCount = 3;

QDate ToDate(const LocalFields& fields) { return QDate(fields.year, fields.month, fields.day); }
QTime ToTime(const LocalFields& fields) { return QTime(fields.hour, fields.minute, std::min(fields.second, 59)); }

}  // namespace

const DialogTemplate kScheduledTaskTemplate{
    IDD_SCHEDULEDTASK, "Scheduled Task", 209, 127, "System", 10, kControls,
};

CScheduledTaskDlg::CScheduledTaskDlg(QWidget* parent) : CDialog(kScheduledTaskTemplate, parent)
{
    for (int k = 0; k < kTaskRows; ++k) {
        Bind(IDC_TASK_OPERATION_LAST - k, &m_cboOperation[k]);
    }
}

QDateEdit* CScheduledTaskDlg::DatePicker(int row) const
{
    return qobject_cast<QDateEdit*>(GetDlgItem(IDC_TASK_DATE_FIRST + 2 * row));
}

QTimeEdit* CScheduledTaskDlg::TimePicker(int row) const
{
    return qobject_cast<QTimeEdit*>(GetDlgItem(IDC_TASK_TIME_FIRST + 2 * row));
}

bool CScheduledTaskDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    for (int row = 0; row < kTaskRows; ++row) {
        const LocalFields fields = WithTimeOfDay(BreakLocalTime(m_tasks[row].time), m_tasks[row].timeOfDay);
        if (!IsEverydayRow(row)) {
            m_date[row] = fields;
        }
        m_time[row] = fields;
    }
    for (int row = 0; row < kTaskRows; ++row) {
        QComboBox& box = OperationBox(row);
        // The template height includes the dropped-down list; the closed box
        // is one line high, as on the original platform.
        box.resize(box.width(), box.sizeHint().height());
        box.clear();
        for (const char* item : kOperationItems) {
            box.addItem(QString::fromLatin1(item));
        }
        const int operation = m_tasks[row].operation;
        box.setCurrentIndex(operation >= 0 && operation < kOperationItemCount ? operation : -1);
        if (QTimeEdit* picker = TimePicker(row); picker && !picker->displayFormat().contains(QLatin1Char('s'))) {
            picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        }
    }
    UpdateData(false);
    return true;
}

void CScheduledTaskDlg::UpdateData(bool saveAndValidate)
{
    for (int row = 0; row < kTaskRows; ++row) {
        QDateEdit* date = DatePicker(row);
        QTimeEdit* time = TimePicker(row);
        if (!date || !time) {
            continue;
        }
        if (!saveAndValidate) {
            date->setDate(ToDate(m_date[row]));
            time->setTime(ToTime(m_time[row]));
            continue;
        }
        const QDate shownDate = date->date();
        m_date[row].year = shownDate.year();
        m_date[row].month = shownDate.month();
        m_date[row].day = shownDate.day();
        const QTime shownTime = time->time();
        m_time[row].hour = shownTime.hour();
        m_time[row].minute = shownTime.minute();
        m_time[row].second = shownTime.second();
    }
}

void CScheduledTaskDlg::BuildRows(std::int64_t now)
{
    for (int row = 0; row < kTaskRows; ++row) {
        const LocalFields& time = m_time[row];
        if (IsEverydayRow(row)) {
            m_tasks[row].time = NextDailyMoment(now, time.hour, time.minute, time.second);
            m_tasks[row].timeOfDay = TimeOfDay(time);
        } else {
            const LocalFields& date = m_date[row];
            m_tasks[row].time = MakeLocalTime({date.year, date.month, date.day, time.hour, time.minute, time.second});
        }
        m_tasks[row].operation = OperationBox(row).currentIndex();
    }
}

void CScheduledTaskDlg::OnOK()
{
    UpdateData(true);
    BuildRows(NowSeconds());
    CDialog::OnOK();
}
