#include "PortList.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

std::vector<SerialPortEntry> ListSerialPorts(const std::string& sysTty, const std::string& dev)
{
    std::vector<std::string> names = PresentPortNames(sysTty, dev);
    std::sort(names.begin(), names.end());
    std::vector<SerialPortEntry> ports;
    for (std::string& name : names)
        ports.push_back({std::move(name), {}});

    // udev's links; Windows has no such folder, so its ports get none.
    std::error_code ec;
    for (const fs::directory_entry& link : fs::directory_iterator(fs::path(dev) / "serial" / "by-id", ec)) {
        const fs::path target = fs::weakly_canonical(link.path(), ec);
        for (SerialPortEntry& port : ports) {
            if (!ec && fs::weakly_canonical(port.device, ec) == target)
                port.byId.push_back(link.path().string());
        }
    }
    for (SerialPortEntry& port : ports)
        std::sort(port.byId.begin(), port.byId.end());
    return ports;
}
