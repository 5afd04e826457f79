// The soak's own checks: a check that cannot fail would let a broken panel
// pass a long run, so each is shown failing on what it must catch.
#include "FrameRules.h"
#include "LineMonitor.h"
#include "MessageBoxReader.h"
#include "OperatorScript.h"
#include "ProcessStats.h"
#include "SoakChecks.h"
#include "SoakOptions.h"
#include "UiPing.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <memory>
#include <random>

namespace soak {
namespace {

FrameBytes B(std::initializer_list<int> bytes)
{
    FrameBytes frame;
    for (int b : bytes) {
        frame.push_back(static_cast<std::uint8_t>(b));
    }
    return frame;
}

TEST(FrameRulesTest, AcceptsEveryShapeOfTheCommandSet)
{
    // Command only: power, switches and readings.
    for (int code : {0x02, 0x03, 0x04, 0x06, 0x0B, 0x0D, 0x14, 0x17, 0x18, 0x19, 0x1B, 0x22}) {
        EXPECT_EQ(CheckRequestFrame(B({0x01, 0x01, code})), "") << code;
    }
    // 8-bit settings at both ends of what the panel allows.
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x02, 0x0F, 1})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x02, 0x0F, 13})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x02, 0x10, 30})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x02, 0x11, 3})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x02, 0x11, 150})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x02, 0x12, 20})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x02, 0x13, 70})), "");
    // The frequency, high byte first: 100.0 MHz and both band edges.
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x03, 0x0E, 0x03, 0xE8})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x03, 0x0E, 0x03, 0x66})), "");
    EXPECT_EQ(CheckRequestFrame(B({0x01, 0x03, 0x0E, 0x04, 0x38})), "");
}

TEST(FrameRulesTest, RejectsBrokenFramesAndValuesThePanelMustNotSend)
{
    const FrameBytes bad[] = {
        B({0x01, 0x01}),                    // no code
        B({0x02, 0x01, 0x03}),              // wrong lead byte
        B({0x01, 0x02, 0x03}),              // count says more than there is
        B({0x01, 0x01, 0x0E}),              // frequency without its value
        B({0x01, 0x02, 0x0E, 0x03}),        // frequency with one byte only
        B({0x01, 0x02, 0x03, 0x00}),        // power-on with a parameter
        B({0x01, 0x03, 0x0F, 0x00, 0x07}),  // 8-bit setting with two bytes
        B({0x01, 0x01, 0x01}),              // below the command set
        B({0x01, 0x01, 0x23}),              // above it
        B({0x01, 0x03, 0x0E, 0x03, 0x65}),  // 86.9 MHz
        B({0x01, 0x03, 0x0E, 0x04, 0x39}),  // 108.1 MHz
        B({0x01, 0x02, 0x0F, 0}),           // line volume 0
        B({0x01, 0x02, 0x0F, 14}),
        B({0x01, 0x02, 0x10, 31}),
        B({0x01, 0x02, 0x11, 2}),
        B({0x01, 0x02, 0x11, 151}),
        B({0x01, 0x02, 0x12, 41}),
        B({0x01, 0x02, 0x13, 49}),
    };
    for (const FrameBytes& frame : bad) {
        EXPECT_NE(CheckRequestFrame(frame), "")
            << "frame of " << frame.size() << " bytes, code " << (frame.size() > 2 ? frame[2] : -1);
    }
    EXPECT_EQ(CommandName(0x0E), "SetFMFreq");
    EXPECT_EQ(CommandName(0x40), "code 0x40");
}

TEST(ProcessStatsTest, ReadsResidentMemoryAndSeesItGrow)
{
    EXPECT_EQ(ParseVmRssKb("Name:\tx\nVmPeak:\t  9000 kB\nVmRSS:\t   12345 kB\nThreads:\t3\n"), 12345);
    EXPECT_EQ(ParseVmRssKb("VmRSS:\t77 kB"), 77);
    EXPECT_EQ(ParseVmRssKb("Name:\tx\nVmHWM:\t 100 kB\n"), std::nullopt);
    EXPECT_EQ(ParseVmRssKb("VmRSS:\tlots kB\n"), std::nullopt);

    const std::optional<std::int64_t> before = ResidentKb();
    ASSERT_TRUE(before.has_value());
    constexpr std::size_t kBytes = 32u << 20;
    auto block = std::make_unique<char[]>(kBytes);
    std::memset(block.get(), 0x5A, kBytes);
    const std::optional<std::int64_t> after = ResidentKb();
    ASSERT_TRUE(after.has_value());
    EXPECT_GE(*after - *before, 24 * 1024) << "32 MiB touched, RSS " << *before << " -> " << *after;
    EXPECT_EQ(block[kBytes - 1], 0x5A);
}

TEST(MemoryTrendTest, GrowthCountsOnlyFromTheEndOfTheWarmUp)
{
    CMemoryTrend trend;
    trend.SetWarmUpEnd(10.0);
    trend.Add(0.0, 1000);
    trend.Add(5.0, 9000);  // a warm-up peak is not growth
    EXPECT_EQ(trend.GrowthKb(), 0);
    trend.Add(10.5, 5000);
    trend.Add(20.0, 5600);
    trend.Add(30.0, 5300);
    EXPECT_EQ(trend.GrowthKb(), 600);
    EXPECT_EQ(trend.PeakKb(), 9000);
    EXPECT_EQ(trend.Samples(), 5u);
}

TEST(OperatorScriptTest, ADialogsOutcomesAreNotCountedAsActionsOfTheirOwn)
{
    const std::map<std::string, int> counts{{"protection dialog", 4},       {"protection: cancel", 3},
                                            {"protection: OK as read", 1},  {"schedule dialog", 2},
                                            {"schedule: start-up task", 2}, {"toggle", 5}};
    EXPECT_EQ(ActionsTaken(counts), 11);
    EXPECT_EQ(ActionsTaken({}), 0);
}

TEST(SoakOptionsTest, ParsesLengthAndSeedAndRefusesNonsense)
{
    std::string error;
    auto defaults = ParseSoakOptions({}, &error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->seconds, 60);
    EXPECT_FALSE(defaults->seedGiven);

    auto longRun = ParseSoakOptions({"--minutes", "30", "--seed", "4294967295"}, &error);
    ASSERT_TRUE(longRun);
    EXPECT_EQ(longRun->seconds, 1800);
    EXPECT_TRUE(longRun->seedGiven);
    EXPECT_EQ(longRun->seed, 4294967295u);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{"--seconds"},
                                                                                     {"--seconds", "0"},
                                                                                     {"--seconds", "-5"},
                                                                                     {"--seconds", "10s"},
                                                                                     {"--seed", "x"},
                                                                                     {"--seed", "4294967296"},
                                                                                     {"--hours", "1"},
                                                                                     {"60"}}) {
        error.clear();
        EXPECT_FALSE(ParseSoakOptions(bad, &error)) << bad.front();
        EXPECT_FALSE(error.empty());
    }
}

TEST(SoakChecksTest, ScheduleFileMustLoadWithFiveSaneRows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray path = dir.filePath(QStringLiteral("config.xml")).toLocal8Bit();
    const auto write = [&](int rows, const char* row) {
        QFile file(QString::fromLocal8Bit(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray xml = "<?xml version=\"1.0\"?>\n<root>\n";
        for (int i = 0; i < rows; ++i) {
            xml += row;
        }
        file.write(xml + "</root>\n");
    };
    const char* good = "\t<Task Year=\"2031\" Month=\"12\" Day=\"31\" Hour=\"23\" Min=\"59\" Sec=\"59\" Opt=\"2\" />\n";
    write(5, good);
    EXPECT_EQ(CheckScheduleFile(path.constData()), "");
    write(4, good);
    EXPECT_NE(CheckScheduleFile(path.constData()), "");
    write(6, good);
    EXPECT_NE(CheckScheduleFile(path.constData()), "");
    write(5, "\t<Task Year=\"2031\" Month=\"13\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n");
    EXPECT_NE(CheckScheduleFile(path.constData()), "");
    write(5, "\t<Task Year=\"2031\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" >\n");
    EXPECT_NE(CheckScheduleFile(path.constData()), "");
    EXPECT_NE(CheckScheduleFile(dir.filePath(QStringLiteral("missing.xml")).toLocal8Bit().constData()), "");
}

TEST(SoakChecksTest, OnlyEnabledRowsPastTheirGraceAreOverdue)
{
    const std::int64_t now = 1'700'000'000;
    std::array<ScheduledTask, kTaskRows> rows{};
    rows[0] = {now - 100, TASK_NOTHING};  // ran (one-time rows are disabled when they run)
    rows[1] = {now - 5, TASK_STARTUP};    // may still be waiting for its firing
    rows[2] = {now + 50, TASK_SHUTDOWN};  // still to come
    rows[3] = {now - 30, TASK_SHUTDOWN};  // everyday row that never moved on
    rows[4] = {now + 86400, TASK_STARTUP};
    const std::vector<std::string> overdue = OverdueTasks(rows, now, 12);
    ASSERT_EQ(overdue.size(), 1u);
    EXPECT_NE(overdue[0].find("row 4"), std::string::npos) << overdue[0];
}

class UiPingTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QCoreApplication::instance()) {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            static int argc = 1;
            static char name[] = "soak_checks_tests";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }
    static void Pump(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
        }
    }
};

TEST_F(UiPingTest, AStuckThreadIsReportedAndALiveOneIsNot)
{
    std::atomic<int> stalls{0};
    std::atomic<long long> age{0};
    CUiPing ping(std::chrono::milliseconds(300), std::chrono::milliseconds(20), [&](std::chrono::milliseconds a) {
        ++stalls;
        age = a.count();
    });
    ping.Start();
    Pump(600);
    EXPECT_EQ(stalls.load(), 0);
    EXPECT_GT(ping.Answered(), 5u);
    EXPECT_LT(ping.WorstLatency().count(), 300);

    QThread::msleep(800);  // the thread is stuck outside any event loop
    Pump(100);
    ping.Stop();
    EXPECT_EQ(stalls.load(), 1) << "reported once per stall";
    EXPECT_GT(age.load(), 300);
    EXPECT_GE(ping.WorstLatency().count(), 700);
}

TEST_F(UiPingTest, AMessageBeingReadKeepsTheThreadResponsive)
{
    std::mt19937 rng(7);
    CMessageBoxReader reader(rng, 700, 700);
    std::atomic<int> stalls{0};
    CUiPing ping(std::chrono::milliseconds(300), std::chrono::milliseconds(20),
                 [&](std::chrono::milliseconds) { ++stalls; });
    ping.Start();
    bool readingInside = false;
    QTimer::singleShot(100, [&] { readingInside = reader.IsReading(); });
    QElapsedTimer clock;
    clock.start();
    PanelMessageBox(nullptr, QStringLiteral("Set Freq Fail"), QStringLiteral("Error"));
    const qint64 shown = clock.elapsed();
    ping.Stop();

    EXPECT_GE(shown, 650) << "the box stays up for the reading time";
    EXPECT_TRUE(readingInside);
    EXPECT_FALSE(reader.IsReading());
    EXPECT_EQ(stalls.load(), 0);
    EXPECT_GT(ping.Answered(), 10u);
    EXPECT_EQ(reader.Total(), 1);
    EXPECT_EQ(reader.Shown().at(QStringLiteral("Set Freq Fail (Error)")), 1);
}

}  // namespace
}  // namespace soak
