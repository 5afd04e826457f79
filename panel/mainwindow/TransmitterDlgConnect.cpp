#include "Console.h"
#include "SerialPortList.h"
#include "TransmitterDlg.h"

#include "device/DeviceAccess.h"
#include "dialogkit/MessageBox.h"

#include <Talvex.h>

namespace {
// Line settings of every attempt: 57600 baud, no parity, 8 data bits, one stop bit.
constexpr int kBaud = 57600;
constexpr int kDataBits = 8;
constexpr int kProbeReplyDelay = TALVEX_REPLY_DELAY_MS;
}  // namespace

void CTransmitterDlg::EnumSerialPorts()
{
    m_portNames.clear();
    if (!m_options.ports.isEmpty()) {
        // Ports named on the command line replace the platform's list, which
        // never holds pseudo-terminals.
        for (const QString& port : m_options.ports) {
            if (!port.isEmpty()) {
                m_portNames.append(port);
            }
        }
        return;
    }
    m_portNames = PresentSerialPorts();
}

bool CTransmitterDlg::ProbePortList()
{
    for (const QString& name : std::as_const(m_portNames)) {
        const QByteArray device = name.toLocal8Bit();
        if (!OpenCommPath(device.constData(), kBaud, TALVEX_PARITY_NONE, kDataBits, TALVEX_STOPBITS_ONE, nullptr)) {
            if (!m_options.ports.isEmpty()) {
                // A port the user named deserves a reason; discovered ports
                // that cannot be opened are skipped silently.
                console::Error(QStringLiteral("TalvexPanel: cannot open port %1: %2\n")
                                   .arg(name, QString::fromLatin1(GetOpenErrorText(GetLastOpenError()))));
            }
            continue;
        }
        if (StartUp(kProbeReplyDelay)) {
            return true;
        }
        // A refusal is an answer too: the transmitter is there.
        if (GetLastCommError() == TALVEX_E_REFUSED) {
            return true;
        }
        CloseComm();
    }
    return false;
}

int CTransmitterDlg::ConnectDevice()
{
    bool found = false;
    {
        DeviceAccess lock(g_csDevice);
        found = ProbePortList();
    }
    if (!found) {
        PanelMessageBox(this, QStringLiteral("The Device is not connected."), QStringLiteral("Error"));
        return 0;
    }
    return 1;
}
