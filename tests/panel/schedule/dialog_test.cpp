// "Scheduled Task" without a modal loop, and the main window's button that
// runs it modally.
#include "support/PanelTestSupport.h"

#include "dialogkit/ControlIds.h"

#include "core/LocalTime.h"
#include "core/ScheduleFile.h"
#include "schedule/ScheduledTaskDlg.h"

#include "core/schedule_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateEdit>
#include <QTimeEdit>
#include <QTimer>
#include <optional>
#include <string>

using namespace panel_test;
using namespace schedule_test;

namespace {

class ScheduleDialogTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override
    {
        const ScheduledTask rows[kTaskRows] = {{Utc(2031, 5, 6, 7, 8, 9), TASK_STARTUP},
                                               {Utc(2031, 12, 24, 18, 0, 30), TASK_SHUTDOWN},
                                               {Utc(2032, 1, 2, 3, 4, 5), TASK_NOTHING},
                                               {Utc(2031, 1, 1, 23, 30, 15), TASK_STARTUP},
                                               {Utc(2031, 1, 1, 6, 45, 0), 7}};
        std::copy(std::begin(rows), std::end(rows), m_dlg.m_tasks);
        ASSERT_TRUE(m_dlg.OnInitDialog());
    }
    QComboBox* Combo(int id) const { return qobject_cast<QComboBox*>(m_dlg.GetDlgItem(id)); }

    const ScopedTimeZone m_zone{kUtc};
    CScheduledTaskDlg m_dlg;
};

}  // namespace

TEST_F(ScheduleDialogTest, ShowsEachRowOnItsOwnLine)
{
    const QDate dates[] = {QDate(2031, 5, 6), QDate(2031, 12, 24), QDate(2032, 1, 2)};
    const QTime times[] = {QTime(7, 8, 9), QTime(18, 0, 30), QTime(3, 4, 5), QTime(23, 30, 15), QTime(6, 45, 0)};
    const int operations[] = {TASK_STARTUP, TASK_SHUTDOWN, TASK_NOTHING, TASK_STARTUP, -1};  // 7: no item
    const QStringList items = {QStringLiteral("Nothing"), QStringLiteral("Startup Device"),
                               QStringLiteral("Shutdown Device")};
    for (int row = 0; row < kTaskRows; ++row) {
        SCOPED_TRACE(row + 1);
        EXPECT_EQ(m_dlg.TimePicker(row)->time(), times[row]);
        EXPECT_TRUE(m_dlg.TimePicker(row)->displayFormat().contains(QLatin1Char('s')));
        EXPECT_EQ(m_dlg.DatePicker(row)->isHidden(), row >= 3) << "everyday rows show no date";
        if (row < 3) {
            EXPECT_EQ(m_dlg.DatePicker(row)->date(), dates[row]);
        }
        // Row 1's box is control 1055 at the top, row 5's is 1059 at the bottom.
        QComboBox* box = Combo(1055 + row);
        ASSERT_EQ(box, &m_dlg.OperationBox(row));
        EXPECT_EQ(box->currentIndex(), operations[row]);
        QStringList shown;
        for (int i = 0; i < box->count(); ++i) {
            shown << box->itemText(i);
        }
        EXPECT_EQ(shown, items);
        EXPECT_TRUE(row == 0 || box->y() > Combo(1054 + row)->y());
    }
    EXPECT_EQ(m_dlg.windowTitle(), QStringLiteral("Scheduled Task"));
}

TEST_F(ScheduleDialogTest, ConfirmingBuildsTheRowsFromTheControls)
{
    m_dlg.DatePicker(1)->setDate(QDate(2032, 2, 29));
    m_dlg.TimePicker(1)->setTime(QTime(1, 2, 3));
    m_dlg.OperationBox(2).setCurrentIndex(TASK_STARTUP);
    m_dlg.TimePicker(3)->setTime(QTime(5, 0, 0));
    m_dlg.UpdateData(true);
    m_dlg.BuildRows(Utc(2031, 6, 1, 12, 0, 0));

    EXPECT_EQ(m_dlg.m_tasks[0].time, Utc(2031, 5, 6, 7, 8, 9)) << "an untouched row comes back unchanged";
    EXPECT_EQ(m_dlg.m_tasks[1].time, Utc(2032, 2, 29, 1, 2, 3));
    EXPECT_EQ(m_dlg.m_tasks[1].operation, TASK_SHUTDOWN);
    EXPECT_EQ(m_dlg.m_tasks[2].operation, TASK_STARTUP);
    EXPECT_EQ(m_dlg.m_tasks[3].time, Utc(2031, 6, 2, 5, 0, 0)) << "05:00 has passed today: tomorrow";
    EXPECT_EQ(m_dlg.m_tasks[4].time, Utc(2031, 6, 2, 6, 45, 0));
    EXPECT_EQ(m_dlg.m_tasks[4].operation, -1) << "a box without selection gives -1";

    m_dlg.OnOK();
    EXPECT_EQ(m_dlg.result(), IDC_OK);
    EXPECT_GE(m_dlg.m_tasks[3].time, NowSeconds() - 1) << "built against the real clock";
}
