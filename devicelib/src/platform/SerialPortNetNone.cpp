// Network backend for platforms that have none yet (Windows until its
// Winsock variant of SerialPortNet.cpp exists): every network port name
// fails to open, as an unreachable host does.

#include "SerialPort.h"

namespace talvex {

namespace {

class CNoNetworkPort final : public CSerialPort
{
public:
    bool Open(const char*) override { return false; }
    bool Configure(const LineSettings&) override { return false; }
    bool Close() override { return false; }
    bool IsOpen() const override { return false; }
    void Purge() override {}
    IoResult Write(const std::uint8_t*, std::size_t, int) override { return {}; }
    IoStatus WaitForInput(int) override { return IoStatus::Failed; }
    IoResult Read(std::uint8_t*, std::size_t, int) override { return {}; }
};

}  // namespace

std::unique_ptr<CSerialPort> CreateNetworkPort() { return std::make_unique<CNoNetworkPort>(); }

}  // namespace talvex
