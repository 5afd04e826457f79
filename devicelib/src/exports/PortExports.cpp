// Exported port functions: open, close and the library state.

#include "Library.h"
#include "Talvex.h"

#include <cstring>
#include <string>

using talvex::Guarded;
using talvex::Library;
using talvex::LineSettings;

namespace {

LineSettings MakeSettings(int baud, int parity, int dataBits, int stopBits, const void* timeouts)
{
    LineSettings settings;
    settings.baud = baud;
    settings.parity = parity & 0xFF;
    settings.dataBits = dataBits & 0xFF;
    settings.stopBits = stopBits & 0xFF;
    if (timeouts != nullptr) {
        // The record comes as an untyped pointer: copy it rather than trust
        // its alignment.
        TalvexCommTimeouts record;
        std::memcpy(&record, timeouts, sizeof record);
        settings.timeouts = record;
    }
    return settings;
}

int OpenDevice(const char* device, const LineSettings& settings) { return Library().Open(device, settings) ? 1 : 0; }

}  // namespace

int OpenComm(int port, int baud, int parity, int dataBits, int stopBits, const void* timeouts)
{
    return Guarded([&] {
        const LineSettings settings = MakeSettings(baud, parity, dataBits, stopBits, timeouts);
        try {
            const std::string name = talvex::PortNameForNumber(port);
            return OpenDevice(name.c_str(), settings);
        } catch (...) {
            // No memory for the name: fail like a port that does not exist.
            return OpenDevice(nullptr, settings);
        }
    });
}

int OpenCommPath(const char* device, int baud, int parity, int dataBits, int stopBits, const void* timeouts)
{
    return Guarded([&] { return OpenDevice(device, MakeSettings(baud, parity, dataBits, stopBits, timeouts)); });
}

int CloseComm(void)
{
    return Guarded([] { return Library().Close(); });
}

int IsOpen(void)
{
    return Guarded([] { return Library().IsOpen() ? 1 : 0; });
}

int GetLastCommError(void)
{
    return Guarded([] { return Library().LastError(); });
}

int GetLastOpenError(void)
{
    // Before the library state exists no open was made: TALVEX_OPEN_OK, which
    // is also what a failed first allocation gives.
    return Guarded([] { return Library().LastOpenError(); });
}

const char* GetOpenErrorText(int reason)
{
    switch (reason) {
    case TALVEX_OPEN_OK: return "opened";
    case TALVEX_OPEN_NO_DEVICE: return "no such device";
    case TALVEX_OPEN_PERMISSION: return "permission denied";
    case TALVEX_OPEN_BUSY: return "in use by another program";
    case TALVEX_OPEN_NOT_SERIAL: return "not a serial device";
    case TALVEX_OPEN_SETTINGS: return "line settings not supported by the device";
    case TALVEX_OPEN_HOST_NOT_FOUND: return "host not found";
    case TALVEX_OPEN_CANNOT_CONNECT: return "cannot connect";
    default: return "cannot open the device";
    }
}
