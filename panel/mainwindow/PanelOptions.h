#pragma once
// What the program was started with.

#include <QString>
#include <QStringList>

struct PanelOptions {
    QStringList ports;      // --port DEVICE (repeatable): replaces the discovered ports
    bool simulate = false;  // --simulate: a simulated transmitter inside the process
    bool userData = false;  // --user-data: run in the per-user data folder
    QString metricsListen;  // --metrics-listen [ADDR:]PORT: serve the readings for Prometheus
    bool help = false;      // --help
    bool version = false;   // --version
    QString error;          // non-empty when the command line could not be understood
};

// Parses the program's arguments (argv[0] excluded).
PanelOptions ParsePanelOptions(const QStringList& arguments);
// The --help text.
QString PanelUsage();
// The --version text.
QString PanelVersion();

// The per-user data folder the menu entry starts the panel in:
// $XDG_DATA_HOME/Talvex, normally ~/.local/share/Talvex.
QString UserDataFolder();
// The schedule shipped with the program, which seeds a new data folder.
QString ShippedConfigFile();
// Makes `folder` the current directory, creating it and copying `shipped`
// into it as config.xml when it has none (a missing `shipped` leaves the
// panel to start with an empty schedule). False with `error` set when the
// folder cannot be made or entered.
bool EnterDataFolder(const QString& folder, const QString& shipped, QString* error);
