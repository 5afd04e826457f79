// The serial ports as Windows lists them, and why one could not be opened.

#include "SerialPorts.h"

#include "Talvex.h"

#include <algorithm>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

std::vector<SerialPortEntry> ListSerialPorts(const std::string&, const std::string&)
{
    std::vector<SerialPortEntry> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameSize = sizeof name;
        char data[256];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG result =
            ::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataSize] = '\0';
        ports.push_back({data, {}});
    }
    ::RegCloseKey(key);
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.device < b.device; });
    return ports;
}

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
