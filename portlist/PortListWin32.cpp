// The serial ports as the registry lists them.

#include "PortList.h"

#include <cstring>
#include <utility>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Every value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM is one present port: its
// data is the port's name (in the ANSI code page), its own name (the
// driver's device) is ignored. The key is read in the registry's order,
// which is the order the ports are tried in.
std::vector<std::string> PresentPortNames(const std::string&, const std::string&)
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        // Both sizes are set anew for every value: the call overwrites them.
        char valueName[260];
        DWORD valueNameLength = sizeof valueName;
        char data[20];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG result = ::RegEnumValueA(key, index, valueName, &valueNameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_MORE_DATA)
            continue;  // a name or a port name too long for a serial port: not one
        if (result != ERROR_SUCCESS)
            break;  // the end of the values, or a key that cannot be read on
        if (valueNameLength == 0 || dataSize == 0 || (type != REG_SZ && type != REG_EXPAND_SZ))
            continue;
        // The data usually, but not always, ends in a zero.
        std::string name(data, ::strnlen(data, dataSize));
        if (!name.empty())
            names.push_back(std::move(name));
    }
    ::RegCloseKey(key);
    return names;
}
