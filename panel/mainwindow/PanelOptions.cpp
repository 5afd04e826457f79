#include "PanelOptions.h"

PanelOptions ParsePanelOptions(const QStringList& arguments)
{
    PanelOptions options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--simulate")) {
            options.simulate = true;
        } else if (argument == QLatin1String("--port")) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).isEmpty()) {
                options.error = QStringLiteral("--port needs a device");
                return options;
            }
            options.ports.append(arguments.at(++i));
        } else if (argument.startsWith(QLatin1String("--port="))) {
            const QString device = argument.mid(7);
            if (device.isEmpty()) {
                options.error = QStringLiteral("--port needs a device");
                return options;
            }
            options.ports.append(device);
        } else {
            options.error = QStringLiteral("unknown argument: %1").arg(argument);
            return options;
        }
    }
    return options;
}

QString PanelUsage()
{
    return QStringLiteral(
        "Usage: TalvexPanel [--port DEVICE]... [--simulate]\n"
        "Control panel for the Vemra FM transmitter.\n"
        "\n"
        "  --port DEVICE  try DEVICE (for example /dev/ttyUSB0) instead of the serial\n"
        "                 ports the system lists; may be given more than once, the\n"
        "                 ports are tried in the order given\n"
        "  --simulate     run against a simulated transmitter inside the program\n"
        "  --help         show this text and exit\n"
        "\n"
        "The schedule is read from config.xml in the current directory.\n");
}
