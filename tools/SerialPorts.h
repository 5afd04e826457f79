#pragma once
// The machine's serial ports as an operator knows them, and why one of them
// could not be opened, in words that say what to do about it.

#include <string>
#include <vector>

struct SerialPortEntry {
    std::string device;             // /dev/ttyUSB0
    std::vector<std::string> byId;  // /dev/serial/by-id/... links to it, sorted
};

// The serial lines the system knows, sorted by device name. On Linux: every
// tty with a device behind it, less the UART slots the driver found empty;
// `sysTty` and `dev` are the roots to look under (/sys/class/tty and /dev).
// On Windows: the COM ports the registry lists (the roots are not used).
std::vector<SerialPortEntry> ListSerialPorts(const std::string& sysTty = "/sys/class/tty",
                                             const std::string& dev = "/dev");

// "/dev/ttyUSB0  /dev/serial/by-id/usb-FTDI_..." or just the device.
inline std::string DescribePort(const SerialPortEntry& port)
{
    std::string text = port.device;
    for (const std::string& link : port.byId)
        text += "  " + link;
    return text;
}

// The full explanation of a failed open of `device` for reason `reason`
// (TALVEX_OPEN_*), ending in a newline. Looks at the device and the system
// for the details (the group that owns it, the ports that do exist).
std::string ExplainOpenFailure(const std::string& device, int reason);
