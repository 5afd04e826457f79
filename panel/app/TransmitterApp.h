#pragma once
// The application object: sets the program-wide dialog colours and fonts and
// runs the main window modally; the program ends when it closes.

#include "mainwindow/PanelOptions.h"

#include <memory>

class CSimulatedLine;

class CTransmitterApp
{
public:
    explicit CTransmitterApp(PanelOptions options);
    ~CTransmitterApp();

    // Runs the main window; false always (the program ends after it).
    bool InitInstance();

    // Maps the fonts the dialogs name to the nearest installed faces.
    static void InstallFontSubstitutes();

private:
    PanelOptions m_options;
    std::unique_ptr<CSimulatedLine> m_simulator;  // --simulate only
};
