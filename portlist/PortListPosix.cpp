// The serial ports as the kernel's tty classes list them.

#include "PortList.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The serial core reports the UART type of each slot; 0 means the driver
// probed the slot and found nothing (the usual ttyS1..ttyS31).
bool EmptyUartSlot(const fs::path& entry)
{
    std::ifstream type(entry / "type");
    int value = -1;
    return type >> value && value == 0;
}

}  // namespace

std::vector<std::string> PresentPortNames(const std::string& sysTty, const std::string& dev)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysTty, ec)) {
        // Virtual terminals and ptys have no device behind them.
        if (!fs::exists(entry.path() / "device", ec) || EmptyUartSlot(entry.path()))
            continue;
        names.push_back((fs::path(dev) / entry.path().filename()).string());
    }
    // The directory's order is the file system's; a name's place should not be.
    std::sort(names.begin(), names.end());
    return names;
}
