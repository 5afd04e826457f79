// "Scheduled Task" without a modal loop, and the main window's button that
// runs it modally.
#include "support/PanelTestSupport.h"

#include "LocalTime.h"
#include "ScheduleFile.h"
#include "ScheduledTaskDlg.h"
#include "TransmitterDlg.h"

#include "schedule_test_support.h"

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

// The operator's whole path: the button opens the dialog, OK stores the
// rows, writes config.xml and arms the timer; the next start re-arms them.
TEST_F(PanelTest, ScheduledTaskButtonStoresWritesArmsAndReloadsTheRows)
{
    PanelOptions options;
    options.ports = QStringList{SimPort()};
    CTransmitterDlg window(options);
    ASSERT_TRUE(window.OnInitDialog());

    const std::int64_t due = NowSeconds() + 3 * 86'400;
    const LocalFields fields = BreakLocalTime(due);
    bool edited = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CScheduledTaskDlg*>(QApplication::activeModalWidget());
        if (!dialog || edited) {
            return;
        }
        edited = true;
        dialog->DatePicker(1)->setDate(QDate(fields.year, fields.month, fields.day));
        dialog->TimePicker(1)->setTime(QTime(fields.hour, fields.minute, fields.second));
        dialog->OperationBox(1).setCurrentIndex(TASK_SHUTDOWN);
        dialog->OperationBox(0).setCurrentIndex(TASK_STARTUP);  // dated in the past
        qobject_cast<QAbstractButton*>(dialog->GetDlgItem(IDC_OK))->click();
    });
    poll.start(10);
    window.OnScheduledTask();
    ASSERT_TRUE(edited);

    EXPECT_EQ(window.m_schedule.m_tasks[0].operation, TASK_NOTHING) << "a past row is stored as Nothing";
    EXPECT_EQ(window.m_schedule.m_timer.DueTime(), due);
    TaskRecords records;
    ASSERT_TRUE(ReadScheduleFile(kScheduleFileName, records));
    EXPECT_EQ(records[1].year, fields.year);
    EXPECT_EQ(records[1].second, fields.second);
    EXPECT_EQ(records[1].opt, TASK_SHUTDOWN);
    EXPECT_EQ(records[0].opt, TASK_NOTHING);

    CTaskSchedule restarted;
    EXPECT_EQ(restarted.Load(kScheduleFileName, NowSeconds()), 1);
    EXPECT_EQ(restarted.m_nextTask, 1);
    EXPECT_EQ(restarted.m_timer.DueTime(), due);
}

// A confirmed schedule that did not reach config.xml runs from memory only,
// and would be gone at the next start: the operator is told. The file is
// still never created.
TEST_F(PanelTest, AScheduleThatDidNotReachTheFileIsReported)
{
    PanelOptions options;
    options.ports = QStringList{SimPort()};
    CTransmitterDlg window(options);
    ASSERT_TRUE(window.OnInitDialog());
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<CScheduledTaskDlg*>(QApplication::activeModalWidget())) {
            qobject_cast<QAbstractButton*>(dialog->GetDlgItem(IDC_OK))->click();
        }
    });
    poll.start(10);

    const std::string task = "<Task Year='2030' Month='1' Day='1' Hour='1' Min='1' Sec='1' Opt='0'/>";
    const std::pair<std::optional<std::string>, bool> files[] = {
        {std::nullopt, false},                     // no config.xml at all
        {"<root>" + task + "</root>", false},      // one row of five
        {"<root>" + task + task + task + task + task + "</root>", true},
    };
    for (const auto& [content, saved] : files) {
        SCOPED_TRACE(content.value_or("(none)"));
        QFile::remove(QString::fromLatin1(kScheduleFileName));
        if (content) {
            QFile file(QString::fromLatin1(kScheduleFileName));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content->data(), static_cast<qint64>(content->size()));
        }
        m_messages.Clear();
        window.OnScheduledTask();
        EXPECT_EQ(m_messages.Messages().empty(), saved);
        if (!saved) {
            EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("Save config.xml Fail")});
        }
        EXPECT_EQ(QFile::exists(QString::fromLatin1(kScheduleFileName)), content.has_value());
    }
}
