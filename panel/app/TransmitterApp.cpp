#include "TransmitterApp.h"
#include "SimulatedLine.h"

#include "controls/ColorRef.h"
#include "dialogkit/Dialog.h"
#include "mainwindow/TransmitterDlg.h"

#include "mainwindow/Console.h"
#include <string>

#include <QFont>
#include <QString>
#include <utility>

CTransmitterApp::CTransmitterApp(PanelOptions options) : m_options(std::move(options)) {}

CTransmitterApp::~CTransmitterApp() = default;

void CTransmitterApp::InstallFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("System"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"));
}

bool CTransmitterApp::InitInstance()
{
    InstallFontSubstitutes();
    CDialog::SetDialogBkColor(Rgb(0, 0, 0), Rgb(128, 128, 255));

    if (m_options.simulate) {
        m_simulator = std::make_unique<CSimulatedLine>();
        std::string error;
        const QString device = m_simulator->Start(&error);
        if (device.isEmpty()) {
            // Connecting then finds no transmitter and says so; this says why.
            console::Error(QStringLiteral("TalvexPanel: cannot start the simulated transmitter: %1\n")
                               .arg(QString::fromStdString(error)));
        }
        // Only the simulator's line is tried, even when it did not start.
        m_options.ports = QStringList{device};
    }

    {
        CTransmitterDlg dlg(m_options);
        dlg.DoModal();
    }
    // The window has closed its port and ended its threads; the simulated
    // transmitter can go now.
    m_simulator.reset();
    return false;
}
