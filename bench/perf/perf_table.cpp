// The performance table: every figure of the panel and the library measured
// in one run and printed beside its limit and goal.
//
// Usage: perf_table [--cpu-seconds N] [--quick]
//   --cpu-seconds N  how long the running panel is watched (default 20)
//   --quick          fewer samples everywhere, for a smoke run
// Exit status 1 when a figure is below its limit or could not be measured.

#include "LinkFigures.h"
#include "LockFigures.h"
#include "PaintFigures.h"
#include "PanelFigures.h"
#include "PerfTable.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct RunOptions {
    double cpuSeconds = 20.0;
    int transactions = 200;
    int statusCycles = 8;
    int startUps = 3;
    double repaintSeconds = 10.0;
    double lockSeconds = 15.0;
};

std::string LoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly)) {
        return "?";
    }
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() >= 3 ? (fields[0] + ' ' + fields[1] + ' ' + fields[2]).toStdString() : "?";
}

constexpr double kPaintGoalUs = 1000.0;
constexpr double kCurvedPaintGoalUs = 450.0;

void AddPaintRows(perf::CPerfTable& table, const std::vector<perf::PaintFigure>& paints)
{
    if (paints.empty()) {
        table.Add({"one paint (benchmarks did not run)", std::nullopt, "us", std::nullopt, kPaintGoalUs, "", 0});
    }
    for (const perf::PaintFigure& paint : paints) {
        // The curved display fits its outlines once per text and size; a
        // repaint only draws them, at most half the time a fitting paint took.
        if (paint.control == "segment display, curved") {
            table.Add({"one paint: " + paint.control, paint.microseconds, "us", std::nullopt, kCurvedPaintGoalUs,
                       "half the 894 us of a paint that fits its curves", 0});
            continue;
        }
        table.Add({"one paint: " + paint.control, paint.microseconds, "us", std::nullopt, kPaintGoalUs,
                   "level meter 10 paints/s at 1 ms = half the CPU goal", 0});
    }
}

}  // namespace

int main(int argc, char** argv)
{
    RunOptions run;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cpu-seconds") == 0 && i + 1 < argc) {
            run.cpuSeconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--quick") == 0) {
            run = {5.0, 40, 3, 1, 3.0, 5.0};
        } else {
            std::fprintf(stderr, "usage: %s [--cpu-seconds N] [--quick]\n", argv[0]);
            return 2;
        }
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The in-process windows read and write no settings or schedule of the
    // operator's: both live in a scratch directory.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.path().toLocal8Bit());
    QApplication application(argc, argv);
    QDir::setCurrent(scratch.path());

    const std::string loadBefore = LoadAverage();
    std::fprintf(stderr, "measuring: transactions...\n");
    const perf::TransactionFigures transactions = perf::MeasureTransactions(run.transactions);
    std::fprintf(stderr, "measuring: status cycle...\n");
    const perf::StatusCycleFigures cycle = perf::MeasureStatusCycle(run.statusCycles);
    std::fprintf(stderr, "measuring: device mutex sharing...\n");
    const perf::LockFigures sharing = perf::MeasureLockSharing(run.lockSeconds);
    std::fprintf(stderr, "measuring: start-up...\n");
    const std::optional<double> startUp = perf::MeasureStartUp(run.startUps);
    std::fprintf(stderr, "measuring: repaints...\n");
    const perf::RepaintFigures repaints = perf::MeasureRepaints(2.0, run.repaintSeconds);
    std::fprintf(stderr, "measuring: running panel for %.0f s...\n", run.cpuSeconds);
    const perf::RunningFigures running =
        perf::MeasureRunningPanel(QStringLiteral(TALVEX_PANEL_PROGRAM), 3.0, run.cpuSeconds);
    std::fprintf(stderr, "measuring: paints...\n");
    const std::vector<perf::PaintFigure> paints =
        perf::MeasurePaints({QStringLiteral(TALVEX_SEGMENT_BENCH), QStringLiteral(TALVEX_PAINT_BENCH)});
    const std::string loadAfter = LoadAverage();

    perf::CPerfTable table;
    const std::string exchange = "GetRtVol, reply delay " + std::to_string(transactions.replyDelayMs) + " ms, " +
                                 std::to_string(transactions.samples) + " exchanges";
    table.Add({"transaction beyond fixed waits, median", transactions.medianMs, "ms", 0.0, 1.0, exchange, 3});
    table.Add({"transaction beyond fixed waits, p99", transactions.p99Ms, "ms", 0.0, std::nullopt, exchange, 3});
    table.Add({"status cycle (7 exchanges)", cycle.medianMs, "ms", perf::kMandatedStatusCycleMs,
               perf::kMandatedStatusCycleMs * 1.02,
               "7 x (50 + 100) ms, goal +2 %; median of " + std::to_string(cycle.cycles) + " cycles", 1});
    const std::string actions = std::to_string(sharing.actions) + " operator actions, both pollers running";
    table.Add({"operator action's wait for the device mutex, longest", sharing.longestWaitMs, "ms", std::nullopt,
               perf::kLockWaitGoalMs, "transaction in progress + one queued (150 + 70 + 5 ms); " + actions, 1});
    table.Add({"operator action's wait for the device mutex, median", sharing.medianWaitMs, "ms", std::nullopt,
               perf::kLockWaitGoalMs, actions, 1});
    // Alone the level thread reads every 100 + 70 ms; beside the status
    // thread it should still get the line between two status readings.
    table.Add({"level readings per second, status thread running", sharing.levelPerSecond, "/s", std::nullopt,
               std::nullopt, "alone: 1000 / (100 + 70) = 5.9/s", 1});
    table.Add({"start-up to first shown window", startUp, "ms", perf::kMandatedStartUpMs,
               perf::kMandatedStartUpMs + 150.0, "probe + 6 reads = 7 x 150 ms, goal +150 ms; in process", 1});
    char watched[64];
    std::snprintf(watched, sizeof watched, "TalvexPanel --simulate, offscreen, %.0f s", running.seconds);
    table.Add({"panel CPU while polling", running.corePercent, "% core", std::nullopt, 2.0, watched, 2});
    table.Add({"panel resident memory",
               running.residentKb ? std::optional<double>(*running.residentKb / 1024.0) : std::nullopt, "MB",
               std::nullopt, std::nullopt, watched, 1});
    // Every reading may change what one control shows, so one paint per
    // reading is the most the window should need.
    table.Add({"paints per second while polling", repaints.perSecond, "/s", std::nullopt, repaints.readingsPerSecond,
               "goal: readings per second; busiest: " + repaints.busiest, 1});
    AddPaintRows(table, paints);

    std::printf("Talvex performance table, %s\n",
                QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8().constData());
    std::printf("%d cores, load average %s before, %s after\n\n", QThread::idealThreadCount(), loadBefore.c_str(),
                loadAfter.c_str());
    table.Print(stdout);
    return table.WithinLimits() ? 0 : 1;
}
