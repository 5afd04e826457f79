// config.xml, byte for byte, and the schedule's loading and saving of it.
#include "core/ScheduleFile.h"
#include "core/TaskSchedule.h"

#include "schedule_test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <climits>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace schedule_test;

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\"?>\n";

std::string TaskLine(const TaskRecord& r)
{
    return "\t<Task Year=\"" + std::to_string(r.year) + "\" Month=\"" + std::to_string(r.month) + "\" Day=\"" +
           std::to_string(r.day) + "\" Hour=\"" + std::to_string(r.hour) + "\" Min=\"" + std::to_string(r.minute) +
           "\" Sec=\"" + std::to_string(r.second) + "\" Opt=\"" + std::to_string(r.opt) + "\" />\n";
}

std::string Document(const TaskRecords& records, std::size_t count = kTaskRows)
{
    std::string text = kDeclaration + "<root>\n";
    for (std::size_t i = 0; i < count; ++i) {
        text += TaskLine(records[i]);
    }
    return text + "</root>\n";
}

const TaskRecords kSample = {{{2030, 1, 2, 3, 4, 5, 1},
                              {2031, 6, 15, 12, 0, 0, 2},
                              {2032, 7, 8, 9, 10, 11, 0},
                              {2033, 12, 31, 23, 59, 59, 2},
                              {2034, 2, 3, 4, 5, 6, 7}}};
const TaskRecords kUpdate = {{{2041, 3, 4, 5, 6, 7, 2},
                              {2041, 11, 30, 0, 0, 0, 0},
                              {2042, 1, 1, 13, 14, 15, -1},
                              {2042, 5, 6, 7, 8, 9, 1},
                              {2042, 5, 7, 20, 21, 22, 2}}};

class ScheduleFileTest : public ::testing::Test
{
protected:
    const char* Path() const { return m_path.c_str(); }
    void Put(const std::string& bytes) const { std::ofstream(m_path, std::ios::binary) << bytes; }
    std::string Bytes() const
    {
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    QStringList Entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
    std::string m_path = m_dir.filePath(QStringLiteral("config.xml")).toStdString();
    TaskRecords m_records{};
};

}  // namespace

TEST_F(ScheduleFileTest, ReadsAnyWellFormedFileAndSavesExactlyTheDocumentedLines)
{
    Put("<?xml version='1.0' encoding='UTF-8'?>\r\n<!-- note -->\r\n<root>\r\n"
        "  <Task Year='2030' Month='1' Day='2' Hour='3' Min='4' Sec='5' Opt='1'></Task>\r\n" +
        TaskLine(kSample[1]) + TaskLine(kSample[2]) + TaskLine(kSample[3]) + TaskLine(kSample[4]) + "</root>");
    ASSERT_TRUE(ReadScheduleFile(Path(), m_records));
    EXPECT_EQ(Document(m_records), Document(kSample));

    ASSERT_EQ(WriteScheduleFile(Path(), kUpdate), ScheduleSave::Saved);
    EXPECT_EQ(Bytes(), Document(kUpdate));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("config.xml")}) << "no temporary file is left";
}

TEST_F(ScheduleFileTest, ValuesAreReadTheWayStrtolReadsThemInBaseTen)
{
    Put("<root><Task Year=' 2032' Month='+7' Day='8x' Hour='' Min='abc' Sec='-3' Opt='0x1A'/>"
        "<Task Year='99999999999' Month='-99999999999' Day='012' Hour='1.9'/><Task/><Task/><Task/></root>");
    ASSERT_TRUE(ReadScheduleFile(Path(), m_records));
    EXPECT_EQ(TaskLine(m_records[0]), TaskLine({2032, 7, 8, 0, 0, -3, 0}));
    EXPECT_EQ(TaskLine(m_records[1]), TaskLine({INT_MAX, INT_MIN, 12, 1, 0, 0, 0})) << "missing attributes read 0";
}

TEST_F(ScheduleFileTest, OtherContentSurvivesASaveAndMissingAttributesStayMissing)
{
    Put("<root Version='3'><Note lang='en'>check</Note><Extra a='1'><Child>text</Child></Extra>"
        "<Task Opt='1' Sec='5' Min='4' Hour='3' Day='2' Month='1' Year='2030' By='ops'/>"
        "<Task Year='2031' Month='6' Day='15' Hour='12' Min='0' Opt='2'/>" +
        TaskLine(kSample[2]) + TaskLine(kSample[3]) + TaskLine(kSample[4]) + TaskLine(kSample[0]) + "</root>");
    ASSERT_TRUE(ReadScheduleFile(Path(), m_records));
    // The second row lacks its "Sec": it would load back as 0.
    ASSERT_EQ(WriteScheduleFile(Path(), kUpdate), ScheduleSave::Incomplete);
    EXPECT_EQ(
        Bytes(),
        kDeclaration + "<root Version=\"3\">\n\t<Note lang=\"en\">check</Note>\n" +
            "\t<Extra a=\"1\">\n\t\t<Child>text</Child>\n\t</Extra>\n" +
            "\t<Task Opt=\"2\" Sec=\"7\" Min=\"6\" Hour=\"5\" Day=\"4\" Month=\"3\" Year=\"2041\" By=\"ops\" />\n" +
            "\t<Task Year=\"2041\" Month=\"11\" Day=\"30\" Hour=\"0\" Min=\"0\" Opt=\"0\" />\n" + TaskLine(kUpdate[2]) +
            TaskLine(kUpdate[3]) + TaskLine(kUpdate[4]) + TaskLine(kSample[0]) + "</root>\n");
}

TEST_F(ScheduleFileTest, ShortMalformedOrMissingFilesFailTheLoadAndAreNeverCreated)
{
    Put(Document(kSample, 2));
    EXPECT_FALSE(ReadScheduleFile(Path(), m_records)) << "fewer than five rows";
    EXPECT_EQ(TaskLine(m_records[2]), TaskLine({})) << "nothing is read past the last element";
    ASSERT_EQ(WriteScheduleFile(Path(), kUpdate), ScheduleSave::Incomplete) << "the rows that exist are saved";
    EXPECT_EQ(Bytes(), Document(kUpdate, 2));

    const std::string malformed = Document(kSample).substr(0, 60);
    Put(malformed);
    EXPECT_FALSE(ReadScheduleFile(Path(), m_records));
    EXPECT_EQ(WriteScheduleFile(Path(), kUpdate), ScheduleSave::Failed);
    EXPECT_EQ(Bytes(), malformed);

    QFile::remove(QString::fromStdString(m_path));
    EXPECT_FALSE(ReadScheduleFile(Path(), m_records));
    EXPECT_EQ(WriteScheduleFile(Path(), kUpdate), ScheduleSave::Failed);
    EXPECT_TRUE(Entries().isEmpty());

    // A folder of that name is no file either (and no reason to allocate its "size").
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(m_path)));
    EXPECT_FALSE(ReadScheduleFile(Path(), m_records));
    EXPECT_EQ(WriteScheduleFile(Path(), kUpdate), ScheduleSave::Failed);
}

// A save that cannot be completed (the file size limit stands in for a full
// disk) leaves the previous schedule intact rather than a truncated file.
TEST_F(ScheduleFileTest, ASaveThatFailsHalfwayLeavesThePreviousFileIntact)
{
    std::string original = Document(kSample);
    original.insert(original.find("<Task"), "<Pad>" + std::string(4000, 'x') + "</Pad>\n\t");
    Put(original);

    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool saved = WriteScheduleFile(Path(), kUpdate) != ScheduleSave::Failed;
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(Bytes(), original);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("config.xml")});
}

// A folder that takes no new file (the save's temporary one) while
// config.xml itself is writable: the schedule is rewritten in place. Root
// may write anywhere, so as root the save runs in a child that has dropped
// to nobody.
TEST_F(ScheduleFileTest, AFolderThatTakesNoNewFileIsWrittenInPlace)
{
    Put(Document(kSample));
    const QString folder = QFileInfo(QString::fromStdString(m_path)).absolutePath();
    ASSERT_EQ(::chmod(m_path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0555), 0);
    ScheduleSave result = ScheduleSave::Failed;
    if (::geteuid() != 0) {
        result = WriteScheduleFile(Path(), kUpdate);
    } else {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped ? static_cast<int>(WriteScheduleFile(Path(), kUpdate)) : 100);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 100) << "cannot drop to nobody";
        result = static_cast<ScheduleSave>(WEXITSTATUS(status));
    }
    ::chmod(folder.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(result, ScheduleSave::Saved);
    EXPECT_EQ(Bytes(), Document(kUpdate));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("config.xml")});
}

// Start-up loading and the dialog's OK, on top of the file.
class ScheduleFileSchedule : public ScheduleFileTest
{
protected:
    const ScopedTimeZone m_zone{kUtc};
    const std::int64_t m_now = Utc(2031, 1, 1, 12, 0, 0);
    CTaskSchedule m_schedule;
};

TEST_F(ScheduleFileSchedule, StartUpLoadsTheRowsAndArmsTheFirstTaskDue)
{
    Put(Document({{{2030, 6, 1, 0, 0, 0, 1},
                   {2031, 1, 3, 0, 0, 0, 2},
                   {2031, 1, 1, 13, 0, 0, 0},
                   {1999, 9, 9, 18, 30, 0, 1},
                   {0, 0, 0, 6, 0, 0, 2}}}));
    EXPECT_EQ(m_schedule.Load(Path(), m_now), 1);
    EXPECT_EQ(m_schedule.m_tasks[0].operation, TASK_NOTHING) << "passed before the start";
    EXPECT_EQ(m_schedule.m_tasks[4].time, Utc(2031, 1, 2, 6, 0, 0));
    EXPECT_EQ(m_schedule.m_nextTask, 3);
    EXPECT_EQ(m_schedule.m_timer.DueTime(), Utc(2031, 1, 1, 18, 30, 0));

    // An unreadable file (here: too few rows) resets every row and arms nothing.
    Put(Document(kUpdate, 4));
    CTaskSchedule fresh;
    EXPECT_EQ(fresh.Load(Path(), m_now), 0);
    for (const ScheduledTask& task : fresh.m_tasks) {
        EXPECT_TRUE(task.time == m_now && task.operation == TASK_NOTHING);
    }
    EXPECT_FALSE(fresh.m_timer.DueTime());
}

TEST_F(ScheduleFileSchedule, ConfirmingStoresWritesAndArmsTheRows)
{
    const ScheduledTask rows[kTaskRows] = {{m_now - 60, TASK_STARTUP},
                                           {Utc(2045, 2, 3, 4, 5, 6), TASK_SHUTDOWN},
                                           {m_now + 5, TASK_STARTUP},
                                           {Utc(2031, 1, 2, 7, 0, 0), TASK_STARTUP},
                                           {m_now + 5, -1}};
    m_schedule.Confirm(rows, Path(), m_now);
    EXPECT_TRUE(Entries().isEmpty()) << "no file is created";
    EXPECT_EQ(m_schedule.m_tasks[1].operation, TASK_SHUTDOWN) << "but the schedule runs";

    Put(Document(kSample));
    m_schedule.Confirm(rows, Path(), m_now);
    EXPECT_EQ(Bytes(), Document({{{2031, 1, 1, 11, 59, 0, 0},
                                  {2045, 2, 3, 4, 5, 6, 2},
                                  {2031, 1, 1, 12, 0, 5, 1},
                                  {2031, 1, 2, 7, 0, 0, 1},
                                  {2031, 1, 1, 12, 0, 5, -1}}}));
    EXPECT_EQ(m_schedule.m_nextTask, 4) << "a tie goes to the higher row";
    EXPECT_EQ(m_schedule.m_timer.DueTime(), m_now + 10) << "due in 5 s fires 10 s after OK";
}
