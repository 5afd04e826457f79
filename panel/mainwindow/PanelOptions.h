#pragma once
// What the program was started with.

#include <QString>
#include <QStringList>
#include <optional>

struct PanelOptions {
    QStringList ports;      // --port DEVICE (repeatable): replaces the discovered ports
    bool simulate = false;  // --simulate: a simulated transmitter inside the process
    bool help = false;      // --help
    QString error;          // non-empty when the command line could not be understood
};

// Parses the program's arguments (argv[0] excluded).
PanelOptions ParsePanelOptions(const QStringList& arguments);
// The --help text.
QString PanelUsage();
