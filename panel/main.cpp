#include "PanelOptions.h"
#include "TransmitterApp.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TalvexPanel"));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const PanelOptions options = ParsePanelOptions(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "TalvexPanel: %s\n%s", qPrintable(options.error), qPrintable(PanelUsage()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(PanelUsage()), stdout);
        return 0;
    }

    CTransmitterApp app(options);
    app.InitInstance();
    return 0;
}
