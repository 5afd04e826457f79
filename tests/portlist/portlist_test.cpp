// The port lists, read from a tree shaped like /sys/class/tty and /dev.

#include "../sim/SimTestSupport.h"
#include "portlist/PortList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(PortList, ListsSerialLinesWithTheirStableNames)
{
    // A USB adapter with two by-id links, a UART found by the driver, an
    // empty UART slot, and a virtual terminal with no device behind it.
    simtest::TempDir root;
    namespace fs = std::filesystem;
    const fs::path sys = fs::path(root.Path()) / "sys";
    const fs::path dev = fs::path(root.Path()) / "dev";
    for (const char* tty : {"ttyUSB0", "ttyS0", "ttyS1"})
        fs::create_directories(sys / tty / "device");
    fs::create_directories(sys / "tty1");
    std::ofstream(sys / "ttyS0" / "type") << "4\n";
    std::ofstream(sys / "ttyS1" / "type") << "0\n";
    fs::create_directories(dev / "serial" / "by-id");
    for (const char* node : {"ttyUSB0", "ttyS0", "ttyS1", "tty1"})
        std::ofstream(dev / node).put('\0');
    fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_FT232R-if00-port0");
    fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_FT232R-alias");

    EXPECT_EQ(PresentPortNames(sys.string(), dev.string()),
              (std::vector<std::string>{(dev / "ttyS0").string(), (dev / "ttyUSB0").string()}));
    const auto ports = ListSerialPorts(sys.string(), dev.string());
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].device, (dev / "ttyS0").string());
    EXPECT_TRUE(ports[0].byId.empty());
    EXPECT_EQ(ports[1].device, (dev / "ttyUSB0").string());
    const std::string byId = (dev / "serial" / "by-id").string();
    EXPECT_EQ(ports[1].byId,
              (std::vector<std::string>{byId + "/usb-FTDI_FT232R-alias", byId + "/usb-FTDI_FT232R-if00-port0"}));
    EXPECT_EQ(DescribePort(ports[1]), ports[1].device + "  " + ports[1].byId[0] + "  " + ports[1].byId[1]);
}
