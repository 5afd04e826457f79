#pragma once
// The machine's serial ports as the platform lists them. One backend per
// platform: the registry's SERIALCOMM list on Windows, the kernel's tty
// classes elsewhere.

#include <string>
#include <vector>

struct SerialPortEntry {
    std::string device;             // /dev/ttyUSB0
    std::vector<std::string> byId;  // /dev/serial/by-id/... links to it, sorted
};

// The names to open, e.g. "COM3" or "/dev/ttyUSB0", in the order they are
// tried in: the registry's on Windows, by name elsewhere. Empty when the
// platform lists none or its list cannot be read. On Linux: every tty with a
// device behind it, less the UART slots the driver found empty; `sysTty` and
// `dev` are the roots to look under (/sys/class/tty and /dev). Windows does
// not use the roots.
std::vector<std::string> PresentPortNames(const std::string& sysTty = "/sys/class/tty",
                                          const std::string& dev = "/dev");

// The same ports sorted by device name, each with the stable links under
// `dev`/serial/by-id that lead to it (none on Windows).
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
