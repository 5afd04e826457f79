// The main window's schedule: the button's whole path through the dialog and
// config.xml, and the scheduler's due tasks driving the simulated transmitter.
#include "fixture.h"

#include "core/LocalTime.h"
#include "core/ScheduleFile.h"
#include "core/schedule_test_support.h"
#include "schedule/ScheduledTaskDlg.h"

#include <Talvex.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFile>
#include <QTimeEdit>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

using namespace panel_test;
using namespace schedule_test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The main window on the simulator, its pollers stopped so that the line
// carries only what the schedule does.
class ScheduleWindowTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        OpenQuiet();
    }

    ColorRef PowerColour() const { return Face(Button(*m_dlg, IDC_BTN_POWER)); }
    bool PowerOn() const { return m_dlg->Core().IsPowerOn(); }
    // A row of `operation` fell due: the scheduler's signal, as its thread sends it.
    void Due(int operation)
    {
        emit m_dlg->Schedule().taskDue(operation);
        QCoreApplication::sendPostedEvents(m_dlg.get());
    }

    // Row `row` falls due within a second (armed directly: the choosing
    // rules never fire sooner than 10 s).
    void DueNow(int row, int operation)
    {
        CTaskSchedule& schedule = m_dlg->Schedule();
        std::lock_guard lock(schedule.m_lock);
        const std::int64_t now = NowSeconds();
        schedule.m_tasks[row] = {now + 1, operation};
        schedule.m_nextTask = row;
        schedule.m_timer.Arm(now + 1);
    }
};

TEST_F(ScheduleWindowTest, DueTasksShutTheTransmitterDownAndStartItUp)
{
    const Frame shutDown{0x01, 0x01, 0x02};
    const Frame startUp{0x01, 0x01, 0x03};
    ASSERT_TRUE(PowerOn());
    DueNow(0, TASK_SHUTDOWN);
    ASSERT_TRUE(PumpUntil([&] { return !PowerOn(); }, 4000ms)) << FramesToString(Sent());
    EXPECT_EQ(Sent(), std::vector<Frame>{shutDown});
    EXPECT_EQ(PowerColour(), kIdle);
    EXPECT_EQ(m_dlg->Schedule().Snapshot()[0].operation, TASK_NOTHING);

    m_sim.ClearReceived();
    DueNow(3, TASK_STARTUP);
    ASSERT_TRUE(PumpUntil([&] { return PowerOn(); }, 4000ms)) << FramesToString(Sent());
    EXPECT_EQ(Sent(), std::vector<Frame>{startUp});
    EXPECT_EQ(PowerColour(), kActive);
    EXPECT_EQ(m_dlg->Schedule().m_timer.DueTime(), m_dlg->Schedule().Snapshot()[3].time) << "again tomorrow";

    const Clock::time_point stop = Clock::now();
    m_dlg->Schedule().StopThread();
    EXPECT_LT(Clock::now() - stop, 200ms) << "stopping does not wait for the next firing";
    EXPECT_FALSE(m_dlg->Schedule().m_thread.joinable());
}

TEST_F(ScheduleWindowTest, FailuresAndEmptyOperationsChangeNothingButTheButtonIsRepainted)
{
    CImageButton& power = Button(*m_dlg, IDC_BTN_POWER);
    const ColorRef stray = Rgb(1, 2, 3);
    Refuse(0x02);
    power.SetStateColor(IBC_BK_NORMAL, stray, false);
    Due(TASK_SHUTDOWN);
    EXPECT_TRUE(PowerOn());
    EXPECT_EQ(PowerColour(), kActive);

    m_sim.ClearReceived();
    for (const int operation : {0, 7, -1}) {
        power.SetStateColor(IBC_BK_NORMAL, stray, false);
        Due(operation);
        EXPECT_EQ(PowerColour(), kActive) << "operation " << operation;
    }
    EXPECT_TRUE(Sent().empty()) << FramesToString(Sent());

    Due(TASK_SHUTDOWN);
    Refuse(0x03);  // a refused start-up still found the transmitter
    Due(TASK_STARTUP);
    EXPECT_TRUE(PowerOn());
    EXPECT_EQ(PowerColour(), kActive);
    EXPECT_TRUE(m_messages.Messages().empty()) << "scheduled failures are silent";
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
    QTest::mouseClick(&Button(window, IDC_BTN_SCHEDULE), Qt::LeftButton);
    ASSERT_TRUE(edited);

    EXPECT_EQ(window.Schedule().Snapshot()[0].operation, TASK_NOTHING) << "a past row is stored as Nothing";
    EXPECT_EQ(window.Schedule().m_timer.DueTime(), due);
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
        {std::nullopt, false},                 // no config.xml at all
        {"<root>" + task + "</root>", false},  // one row of five
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
        QTest::mouseClick(&Button(window, IDC_BTN_SCHEDULE), Qt::LeftButton);
        EXPECT_EQ(m_messages.Messages().empty(), saved);
        if (!saved) {
            EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("Save config.xml Fail")});
        }
        EXPECT_EQ(QFile::exists(QString::fromLatin1(kScheduleFileName)), content.has_value());
    }
}
