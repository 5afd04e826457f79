#include "SoakRun.h"

#include "FaultInjector.h"
#include "LineMonitor.h"
#include "MessageBoxReader.h"
#include "OperatorScript.h"
#include "PanelEventCounter.h"
#include "ProcessStats.h"
#include "SoakChecks.h"
#include "UiPing.h"

#include "core/ScheduleFile.h"
#include "mainwindow/TransmitterDlg.h"

#include <SimTransmitter.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/prctl.h>
#include <type_traits>
#include <unistd.h>

namespace soak {

namespace {

constexpr auto kPingLimit = std::chrono::milliseconds(2000);
constexpr auto kPingPeriod = std::chrono::milliseconds(100);
constexpr std::int64_t kGrowthLimitKb = 2 * 1024;
// Schedule edits set no task in the last part of the run, so each one set
// earlier has fallen due (10 s after the edit at the latest) before the end.
constexpr std::int64_t kNoNewTasksSeconds = 20;
constexpr std::int64_t kOverdueGraceSeconds = 12;

const char* const kFiveEmptyRows =
    "<?xml version=\"1.0\"?>\n<root>\n"
    "\t<Task Year=\"2024\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n"
    "\t<Task Year=\"2024\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n"
    "\t<Task Year=\"2024\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n"
    "\t<Task Year=\"2024\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n"
    "\t<Task Year=\"2024\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n"
    "</root>\n";

std::uint32_t g_seed = 0;

template <typename Map>
int Sum(const Map& counts)
{
    int total = 0;
    for (const auto& entry : counts) {
        total += entry.second;
    }
    return total;
}

template <typename Map>
void PrintCounts(const char* title, const Map& counts, int total)
{
    std::printf("%s: %d\n", title, total);
    for (const auto& [name, count] : counts) {
        if constexpr (std::is_same_v<typename Map::key_type, QString>) {
            std::printf("  %-40s %6d\n", name.toLocal8Bit().constData(), count);
        } else {
            std::printf("  %-40s %6d\n", name.c_str(), count);
        }
    }
}

// Processes events until `done` holds or `timeout` has passed.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return done();
}

// Where every thread stands, for a deadlock report: a debugger, when there
// is one, attached to this process for a moment.
void DumpAllThreads()
{
    if (std::system("command -v gdb > /dev/null 2>&1") != 0) {
        return;
    }
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    const std::string command =
        "gdb -p " + std::to_string(getpid()) + " -batch -ex 'thread apply all bt 30' 1>&2 2>/dev/null";
    [[maybe_unused]] const int status = std::system(command.c_str());
}

}  // namespace

int RunSoak(const SoakOptions& options)
{
    g_seed = options.seed;
    std::printf("talvex-soak: %d s, seed %u\n", options.seconds, options.seed);
    std::fflush(stdout);

    // A private working directory (config.xml) and settings store (no password).
    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "FAIL: cannot make a working directory\n");
        return kSoakCannotRun;
    }
    const QString configPath = work.filePath(QStringLiteral("config.xml"));
    {
        QFile config(configPath);
        if (!config.open(QIODevice::WriteOnly) || config.write(kFiveEmptyRows) < 0) {
            std::fprintf(stderr, "FAIL: cannot write %s\n", configPath.toLocal8Bit().constData());
            return kSoakCannotRun;
        }
    }
    QDir(work.path()).mkpath(QStringLiteral("settings"));
    qputenv("XDG_CONFIG_HOME", work.filePath(QStringLiteral("settings")).toLocal8Bit());
    const QString previousDir = QDir::currentPath();
    QDir::setCurrent(work.path());

    SimOptions simOptions;
    simOptions.linkPath = work.filePath(QStringLiteral("ttyTalvex")).toStdString();
    simOptions.seed = options.seed;
    SimTransmitter sim(simOptions);
    std::string simError;
    if (!sim.Start(&simError)) {
        std::fprintf(stderr, "FAIL: the simulated transmitter did not start: %s\n", simError.c_str());
        return kSoakCannotRun;
    }

    std::mt19937 rng(options.seed);
    CMessageBoxReader reader(rng, 30, 400);
    CUiPing ping(kPingLimit, kPingPeriod, [](std::chrono::milliseconds age) {
        std::fprintf(stderr,
                     "FAIL: deadlock: the user-interface thread has not answered a ping for %lld ms "
                     "(operator: %s; newest fault: %s; seed %u)\n",
                     static_cast<long long>(age.count()), g_currentAction.load(), g_lastFault.load(), g_seed);
        std::fflush(stderr);
        DumpAllThreads();
        std::_Exit(kSoakDeadlock);
    });
    CLineMonitor line(sim);
    line.Start();
    ping.Start();

    const double cpuAtStart = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();

    PanelOptions panelOptions;
    panelOptions.ports = QStringList{QString::fromStdString(simOptions.linkPath)};
    auto dlg = std::make_unique<CTransmitterDlg>(panelOptions);
    if (!dlg->OnInitDialog()) {
        std::fprintf(stderr, "FAIL: the panel found no transmitter at %s\n", simOptions.linkPath.c_str());
        ping.Stop();
        line.Stop();
        return kSoakCannotRun;
    }
    CPanelEventCounter events;
    events.Watch(*dlg);
    dlg->show();

    CFaultInjector faults(sim, rng);
    COperatorScript script(*dlg, rng, reader);
    const std::int64_t end = QDateTime::currentSecsSinceEpoch() + options.seconds;
    script.SetLastScheduleMoment(end - kNoNewTasksSeconds);
    // The warm-up: the first fifth of the run, and at least until every kind
    // of action has been done once (plus a moment for its dialog to close).
    double warmUp = options.seconds / 5.0;
    script.OnFirstRoundDone([&] { warmUp = std::max(warmUp, line.Elapsed() + 3.0); });
    faults.Start();
    script.Start();

    {
        QEventLoop run;
        QTimer::singleShot(std::chrono::seconds(options.seconds), &run, &QEventLoop::quit);
        run.exec();
    }

    // Wind down: no new actions or faults; let an open dialog or box finish.
    script.Stop();
    faults.Stop();
    PumpUntil([&] { return !reader.IsReading() && !QApplication::activeModalWidget(); }, 10000);
    const auto rows = dlg->Schedule().Snapshot();
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    g_currentAction = "closing the main window";
    dlg->close();
    dlg.reset();
    const double cpu = ProcessCpuSeconds() - cpuAtStart;
    const double seconds = wall.elapsed() / 1000.0;
    ping.Stop();
    line.Stop();
    line.SetWarmUpEnd(warmUp);
    sim.Stop();

    // ---- What happened
    std::printf("\n== Summary (seed %u, %.0f s)\n", options.seed, seconds);
    PrintCounts("operator actions", script.Actions(), ActionsTaken(script.Actions()));
    std::printf("  (turns waited for a box or dialog: %d)\n", script.WaitedTurns());
    PrintCounts("faults injected", faults.Injected(), Sum(faults.Injected()));
    PrintCounts("frames received by the transmitter", line.FramesByCommand(), Sum(line.FramesByCommand()));
    PrintCounts("messages shown", reader.Shown(), Sum(reader.Shown()));
    std::printf("  (shown while another was open: %d)\n", reader.Nested());
    std::printf("readings shown: %d\n", events.Readings());
    std::printf("scheduled tasks fired: start-up %d, shut-down %d, nothing %d\n",
                events.TasksFired().count(TASK_STARTUP) ? events.TasksFired().at(TASK_STARTUP) : 0,
                events.TasksFired().count(TASK_SHUTDOWN) ? events.TasksFired().at(TASK_SHUTDOWN) : 0,
                events.TasksFired().count(TASK_NOTHING) ? events.TasksFired().at(TASK_NOTHING) : 0);
    std::printf("pings answered: %llu, slowest %lld ms (limit %lld ms)\n",
                static_cast<unsigned long long>(ping.Answered()), static_cast<long long>(ping.WorstLatency().count()),
                static_cast<long long>(kPingLimit.count()));
    std::printf("CPU: %.1f s in %.0f s (%.0f %% of one core)\n", cpu, seconds,
                seconds > 0 ? 100.0 * cpu / seconds : 0.0);
    const CMemoryTrend& memory = line.Memory();
    std::printf("memory: peak RSS %lld KiB, growth after warm-up (%lld s) %lld KiB (limit %lld KiB), %zu samples\n",
                static_cast<long long>(memory.PeakKb()), static_cast<long long>(warmUp),
                static_cast<long long>(memory.GrowthKb()), static_cast<long long>(kGrowthLimitKb), memory.Samples());
    std::printf("  RSS trend (s KiB): %s\n", memory.Trend(12).c_str());
    const CMemoryTrend& heap = line.Heap();
    const bool judgeHeap = heap.Samples() > 0;
    if (judgeHeap) {
        std::printf("heap in use (sanitizer's count): peak %lld KiB, growth after warm-up %lld KiB (limit %lld KiB; "
                    "judged instead of RSS in this build)\n",
                    static_cast<long long>(heap.PeakKb()), static_cast<long long>(heap.GrowthKb()),
                    static_cast<long long>(kGrowthLimitKb));
        std::printf("  heap trend (s KiB): %s\n", heap.Trend(12).c_str());
    }
    std::printf("bytes the transmitter could not frame: %zu\n", sim.DiscardedBytes());

    // ---- Checks
    std::vector<std::string> failures;
    if (line.FrameCount() == 0) {
        failures.push_back("no frame reached the transmitter");
    }
    if (line.BadFrameCount() > 0) {
        failures.push_back(std::to_string(line.BadFrameCount()) + " malformed frames on the line");
        for (const std::string& bad : line.BadFrames()) {
            failures.push_back("  " + bad);
        }
    }
    if (sim.DiscardedBytes() > 0) {
        failures.push_back(std::to_string(sim.DiscardedBytes()) + " bytes on the line outside any frame");
    }
    if (const std::string why = CheckScheduleFile(configPath.toLocal8Bit().constData()); !why.empty()) {
        failures.push_back("config.xml after the run: " + why);
    }
    for (const std::string& task : OverdueTasks(rows, now, kOverdueGraceSeconds)) {
        failures.push_back("scheduled task never ran: " + task);
    }
    // In the sanitizer build resident memory also counts the sanitizer's
    // never-freed records of allocating call stacks; the heap it reports is
    // what the program itself holds.
    const CMemoryTrend& judged = judgeHeap ? heap : memory;
    if (judged.GrowthKb() > kGrowthLimitKb) {
        failures.push_back(std::string(judgeHeap ? "heap in use" : "resident memory") + " grew by " +
                           std::to_string(judged.GrowthKb()) + " KiB after the warm-up");
    }
    if (events.Readings() == 0) {
        failures.push_back("no reading ever reached the displays");
    }

    QDir::setCurrent(previousDir);
    if (failures.empty()) {
        std::printf("\nPASS (seed %u)\n", options.seed);
        return kSoakPassed;
    }
    std::printf("\n");
    for (const std::string& failure : failures) {
        std::printf("FAIL: %s\n", failure.c_str());
    }
    std::printf("(seed %u)\n", options.seed);
    return kSoakCheckFailed;
}

}  // namespace soak
