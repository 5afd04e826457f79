// talvexd: the transmitter as an unattended site service. Runs the core
// headless against one port, serves the HTTP API, fires the schedule, and
// tells systemd how it is doing, and keeps the event log and the readings
// history in the site database. `talvexd user ...` manages the accounts.

#include "alarms/Alarms.h"
#include "api/HttpApi.h"
#include "auth/Accounts.h"
#include "auth/UserCommand.h"
#include "config/SiteConfig.h"
#include "data/SiteData.h"
#include "site/Log.h"
#include "site/SiteLink.h"
#include "site/SiteSchedule.h"
#include "site/StatusBoard.h"
#include "site/SystemdNotify.h"
#include "snmp/SnmpAgent.h"
#include "watch/SiteWatch.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr char kUsage[] = "Usage: talvexd [--config FILE]\n"
                          "       talvexd [--config FILE] user add NAME --role viewer|operator|admin\n"
                          "       talvexd [--config FILE] user remove NAME\n"
                          "       talvexd [--config FILE] user list\n"
                          "Runs the transmitter named in FILE (default /etc/talvex/talvexd.toml) as a\n"
                          "site service with an HTTP API; `user` manages its accounts (add reads the\n"
                          "password from standard input). See talvexd(8).\n";

struct Options {
    std::string config = talvexd::kDefaultConfigPath;
    std::vector<std::string> user;  // the words after "user"
    bool userCommand = false;
};

// false with the exit status in `exit` when the program ends here.
bool ParseOptions(int argc, char** argv, Options& options, int& exit)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options.userCommand) {
            options.user.push_back(arg);
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            exit = kExitOk;
            return false;
        } else if (arg == "--version") {
            std::printf("talvexd %s\n", TALVEX_VERSION);
            exit = kExitOk;
            return false;
        } else if (arg == "--config" && i + 1 < argc) {
            options.config = argv[++i];
        } else if (arg.rfind("--config=", 0) == 0) {
            options.config = arg.substr(9);
        } else if (arg == "user") {
            options.userCommand = true;
        } else {
            std::fprintf(stderr, "talvexd: unknown argument '%s'\n%s", arg.c_str(), kUsage);
            exit = kExitUsage;
            return false;
        }
    }
    return true;
}

// SIGTERM, SIGINT and SIGHUP arrive as readable data on the main thread.
// Blocked here, before any thread starts, so that every thread inherits the
// mask and none is interrupted by them.
int BlockStopSignals()
{
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
        sigaddset(&stopSignals, s);
    }
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A client that hangs up mid-answer must not end the service.
    std::signal(SIGPIPE, SIG_IGN);
    return signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

int RunService(const talvexd::SiteConfig& config, int stopSignals, int argc, char** argv)
{
    using namespace talvexd;
    CAccounts accounts(config.usersFile);
    std::string error;
    if (!accounts.Load(&error)) {
        std::fprintf(stderr, "talvexd: %s\n", error.c_str());
        return kExitUsage;
    }
    QCoreApplication app(argc, argv);
    CJournal journal;
    CSiteData data;
    CSiteData::Options dataOptions;
    dataOptions.directory = config.dataDirectory;
    dataOptions.historyDays = config.historyDays;
    dataOptions.historyInterval = config.historyInterval;
    dataOptions.logDays = config.logDays;
    dataOptions.maxSizeMb = config.maxSizeMb;
    // A full disk or a failing write is an event like any other (the
    // writer calls this with no lock held, so it may queue it).
    dataOptions.report = [&journal](const std::string& text) { journal.Record(EventKind::Service, "", text); };
    if (!data.Open(dataOptions, &error)) {
        std::fprintf(stderr, "talvexd: cannot open the site database: %s\n", error.c_str());
        return kExitFailed;
    }
    journal.SetSink([&data](const JournalEntry& entry) { data.Record(entry); });
    CStatusBoard board;
    CSiteLink link(config.port, board, journal);
    CSiteSchedule schedule(config.scheduleFile, link, journal);
    CAlarms alarms(config.alarms);
    CNotifier notifications(config);
    // What is still owed from before a restart starts going out now.
    if (!notifications.Start(&error)) {
        std::fprintf(stderr, "talvexd: cannot keep notifications: %s\n", error.c_str());
        return kExitFailed;
    }
    CSiteWatch watch(board, alarms, data, notifications, journal);
    CHttpApi api(config, link, schedule, board, accounts, journal, alarms, data, notifications);
    CSystemdNotifier systemd(link);
    if (!api.Start(&error)) {
        std::fprintf(stderr, "talvexd: %s\n", error.c_str());
        return kExitFailed;
    }
    std::unique_ptr<CSnmpAgent> snmp;
    if (!config.snmpAgentx.empty()) {
        snmp = std::make_unique<CSnmpAgent>(config.snmpAgentx, link, board, alarms, journal);
        CSnmpAgent& agent = *snmp;
        watch.Listen(
            {[&agent](const AlarmTransition& t) { agent.Notify(t); }, [&agent](bool up) { agent.NotifyLink(up); }});
        if (!agent.Start(&error)) {
            std::fprintf(stderr, "talvexd: %s\n", error.c_str());
            return kExitFailed;
        }
    }
    journal.Record(EventKind::Service, "",
                   std::string("started, version ") + TALVEX_VERSION + ", transmitter on " + config.port);
    watch.Start();  // the restart alarm, then every change of the board
    // The schedule first: the link's connect takes a while, and its file
    // must be there by the time a client sees the link up.
    schedule.Start();
    link.Start();
    systemd.Start();

    QSocketNotifier stop(stopSignals, QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info{};
        if (::read(stopSignals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            journal.Record(EventKind::Service, "",
                           std::string("stopping on ") + sigdescr_np(static_cast<int>(info.ssi_signo)));
        }
        stop.setEnabled(false);
        systemd.Stopping();
        app.quit();
    });
    app.exec();
    if (snmp)
        snmp->Stop();  // before the link: a SET in hand finishes or is dropped
    api.Stop();        // closes the board, which ends the watch
    watch.Stop();
    schedule.Stop();
    link.Stop();
    notifications.Stop();  // what is owed stays in the outbox for the next start
    journal.Record(EventKind::Service, "", "stopped");
    data.Close();  // after the last event
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    int exit = kExitOk;
    if (!ParseOptions(argc, argv, options, exit)) {
        return exit;
    }
    talvexd::SiteConfig config;
    std::string error;
    if (!talvexd::LoadSiteConfig(options.config, config, &error)) {
        std::fprintf(stderr, "talvexd: %s\n", error.c_str());
        return kExitUsage;
    }
    if (options.userCommand) {
        return talvexd::RunUserCommand(config.usersFile, options.user, std::cin, std::cout, std::cerr);
    }
    const int stopSignals = BlockStopSignals();
    if (stopSignals < 0) {
        std::perror("talvexd: signalfd");
        return kExitFailed;
    }
    return RunService(config, stopSignals, argc, argv);
}
