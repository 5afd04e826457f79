#include "TransmitterApp.h"
#include "mainwindow/Console.h"
#include "mainwindow/PanelOptions.h"

#include <QApplication>
#include <QTimer>

namespace {

int UsageError(const PanelOptions& options)
{
    console::Error(QStringLiteral("TalvexPanel: %1\nTry 'TalvexPanel --help'.\n").arg(options.error));
    return 2;
}

// Qt's own options (-platform, -style, ...) have a single dash; only the
// application object knows and removes them.
bool MayBeQtOption(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument.startsWith(QLatin1Char('-')) && !argument.startsWith(QLatin1String("--"))) {
            return true;
        }
    }
    return false;
}

// --help and --version; true when one was given and answered.
bool Answered(const PanelOptions& options)
{
    if (options.help) {
        console::Out(PanelUsage());
        return true;
    }
    if (options.version) {
        console::Out(PanelVersion());
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    console::AttachParent();
    // --help, --version and plain mistakes are answered without a display.
    QStringList raw;
    for (int i = 1; i < argc; ++i) {
        raw.append(QString::fromLocal8Bit(argv[i]));
    }
    const PanelOptions early = ParsePanelOptions(raw);
    if (early.error.isEmpty() && Answered(early)) {
        return 0;
    }
    if (!early.error.isEmpty() && !MayBeQtOption(raw)) {
        return UsageError(early);
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TalvexPanel"));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const PanelOptions options = ParsePanelOptions(arguments);
    if (!options.error.isEmpty()) {
        return UsageError(options);
    }
    if (Answered(options)) {
        return 0;
    }
    if (options.userData) {
        // config.xml stays in the current directory; this only chooses which
        // directory that is for a panel started from the menu.
        QString error;
        if (!EnterDataFolder(UserDataFolder(), ShippedConfigFile(), &error)) {
            console::Error(QStringLiteral("TalvexPanel: %1\n").arg(error));
            return 1;
        }
    }

    // Runs once the window is up and its loop turns: what start-up had to
    // say has been said.
    QTimer::singleShot(0, &console::ReleaseParent);
    CTransmitterApp app(options);
    app.InitInstance();
    return 0;
}
