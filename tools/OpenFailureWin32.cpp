// Why a port could not be opened, as Windows reports it.

#include "OpenFailure.h"

#include "Talvex.h"
#include "portlist/PortList.h"

std::string ExplainOpenFailure(const std::string& device, int reason)
{
    std::string text = "cannot open port " + device + ": ";
    switch (reason) {
    case TALVEX_OPEN_NO_DEVICE: {
        text += "no such device.\n";
        const auto ports = ListSerialPorts();
        if (ports.empty())
            return text + "No serial ports found on this machine: is the transmitter's cable plugged in?\n";
        text += "Serial ports on this machine:\n";
        for (const SerialPortEntry& port : ports)
            text += "  " + DescribePort(port) + "\n";
        return text;
    }
    case TALVEX_OPEN_BUSY:
        // Windows refuses a port that another program holds as access denied.
        return text + "busy, another program holds it (a control panel, another talvexctl or a terminal "
                      "program).\nClose that program and try again.\n";
    default: return text + GetOpenErrorText(reason) + ".\n";
    }
}
