#include "PanelOptions.h"

#include "HelpExamples.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

// The program's options, in the order --help lists them. An option added
// here is parsed, listed and documented in one place.
struct PanelCommandLine {
    QCommandLineParser parser;
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Try DEVICE (for example %1) instead of the serial ports the "
                                           "system lists; may be given more than once, the ports are tried in the "
                                           "order given.")
                                .arg(QString::fromLatin1(PlatformHelpExamples().port)),
                            QStringLiteral("DEVICE")};
    QCommandLineOption simulate{QStringLiteral("simulate"),
                                QStringLiteral("Run against a simulated transmitter inside the program.")};
    QCommandLineOption userData{QStringLiteral("user-data"),
                                QStringLiteral("Run in the per-user data folder (%1), creating "
                                               "it and its config.xml on the first start.")
                                    .arg(QString::fromLatin1(PlatformHelpExamples().userDataFolder))};
    QCommandLineOption metricsListen{
        QStringLiteral("metrics-listen"),
        QStringLiteral("Serve the readings at http://ADDR:PORT/metrics for Prometheus; ADDR defaults to "
                       "127.0.0.1. Off unless given."),
        QStringLiteral("[ADDR:]PORT")};
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this text and exit.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version and exit.")};
    // An option added here is also added below and read in
    // ParsePanelOptions().

    PanelCommandLine()
    {
        parser.setApplicationDescription(QStringLiteral("Control panel for the Vemra FM transmitter.\n"
                                                        "The schedule is read from config.xml in the current "
                                                        "directory."));
        parser.addOptions({port, simulate, userData, metricsListen, help, version});
    }
};

}  // namespace

PanelOptions ParsePanelOptions(const QStringList& arguments)
{
    PanelCommandLine commandLine;
    PanelOptions options;
    if (!commandLine.parser.parse(QStringList{QStringLiteral("TalvexPanel")} + arguments)) {
        options.error = commandLine.parser.errorText();
        return options;
    }
    if (!commandLine.parser.positionalArguments().isEmpty()) {
        options.error = QStringLiteral("unknown argument: %1").arg(commandLine.parser.positionalArguments().first());
        return options;
    }
    options.ports = commandLine.parser.values(commandLine.port);
    if (options.ports.contains(QString())) {
        options.error = QStringLiteral("--port needs a device");
        return options;
    }
    options.simulate = commandLine.parser.isSet(commandLine.simulate);
    options.userData = commandLine.parser.isSet(commandLine.userData);
    options.metricsListen = commandLine.parser.value(commandLine.metricsListen);
    if (commandLine.parser.isSet(commandLine.metricsListen) && options.metricsListen.isEmpty()) {
        options.error = QStringLiteral("--metrics-listen needs [ADDR:]PORT");
        return options;
    }
    options.help = commandLine.parser.isSet(commandLine.help);
    options.version = commandLine.parser.isSet(commandLine.version);
    return options;
}

QString PanelUsage()
{
    // The parser's own first line names the program by argv[0], or by a
    // placeholder before the application object exists; --help is answered
    // either way, so the name is fixed here.
    const QString text = PanelCommandLine().parser.helpText();
    return QStringLiteral("Usage: TalvexPanel [options]") + text.mid(text.indexOf(QLatin1Char('\n')));
}

QString PanelVersion() { return QStringLiteral("TalvexPanel %1\n").arg(QStringLiteral(TALVEX_VERSION)); }

QString UserDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Talvex");
}

QString ShippedConfigFile()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/" TALVEX_SHIPPED_CONFIG);
}

bool EnterDataFolder(const QString& folder, const QString& shipped, QString* error)
{
    if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
        *error = QStringLiteral("cannot use the data folder %1").arg(folder);
        return false;
    }
    const QString config = QStringLiteral("config.xml");
    if (!QFile::exists(config) && QFile::copy(shipped, config)) {
        // The shipped copy is read-only; the operator's is theirs to save.
        QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return true;
}
