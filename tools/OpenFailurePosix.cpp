#include "OpenFailure.h"

#include "Talvex.h"
#include "portlist/PortList.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string UserName()
{
    if (const passwd* pw = ::getpwuid(::geteuid()))
        return pw->pw_name;
    return "$USER";
}

std::string ExplainMissing(const std::string& device)
{
    std::string text = "cannot open port " + device + ": no such device.\n";
    const auto ports = ListSerialPorts();
    if (ports.empty())
        return text + "No serial devices found on this machine: is the transmitter's cable plugged in?\n";
    text += "Serial devices on this machine:\n";
    for (const SerialPortEntry& port : ports)
        text += "  " + DescribePort(port) + "\n";
    return text;
}

std::string ExplainPermission(const std::string& device)
{
    std::string text = "cannot open port " + device + ": permission denied.\n";
    struct stat st {};
    const group* owner = ::stat(device.c_str(), &st) == 0 ? ::getgrgid(st.st_gid) : nullptr;
    // Only a group that may read and write the device is worth joining.
    const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (owner == nullptr || st.st_gid == 0 || !groupMayUse) {
        return text + "Ask the administrator for read and write access to " + device + ".\n";
    }
    const std::string group = owner->gr_name;
    return text + "The device belongs to group '" + group + "'. Add yourself to it, then log out and in again:\n" +
           "  sudo usermod -aG " + group + " " + UserName() + "\n";
}

}  // namespace

std::string ExplainOpenFailure(const std::string& device, int reason)
{
    switch (reason) {
    case TALVEX_OPEN_NO_DEVICE: return ExplainMissing(device);
    case TALVEX_OPEN_PERMISSION: return ExplainPermission(device);
    case TALVEX_OPEN_BUSY:
        return "cannot open port " + device +
               ": busy, another program holds it (a control panel, another talvexctl or a terminal program).\n"
               "Close that program and try again.\n";
    case TALVEX_OPEN_NOT_SERIAL: return "cannot open port " + device + ": not a serial device.\n";
    default: return "cannot open port " + device + ": " + GetOpenErrorText(reason) + ".\n";
    }
}
