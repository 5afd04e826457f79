#pragma once
// The serial port as the link layer needs it. One backend per platform
// implements it (src/platform/); nothing outside that backend knows how the
// platform opens, configures or waits on a port.

#include "Talvex.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace talvex {

// Line settings for Configure(); parity, data bits and stop bits use the
// codes of Talvex.h and are already cut to their low byte.
struct LineSettings {
    int baud = 57600;
    int parity = TALVEX_PARITY_NONE;
    int dataBits = 8;
    int stopBits = TALVEX_STOPBITS_ONE;
    // Absent: the backend's default, which ends a reply read shortly after
    // the line goes quiet.
    std::optional<TalvexCommTimeouts> timeouts;
};

// Used when the caller gives no timeouts: a reply read ends this long after
// the last byte arrived, or after the constant when nothing arrives at all.
inline constexpr TalvexCommTimeouts kDefaultTimeouts{50, 0, 1000, 0, 0};
// A read interval of all ones (with no totals) returns at once with what
// has arrived, as the platform's COMMTIMEOUTS define it.
inline constexpr std::uint32_t kReturnAtOnce = 0xFFFFFFFFu;

enum class IoStatus {
    Ok,
    TimedOut,  // the guard time ran out
    Failed     // an error, or the line hung up
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    std::size_t count = 0;  // bytes moved before the call ended
};

class CSerialPort
{
public:
    virtual ~CSerialPort() = default;

    // Opens the device for exclusive use; false when it does not exist, is
    // held by someone else or is not a serial line, with the reason left in
    // OpenFailure().
    virtual bool Open(const char* device) = 0;
    // Applies line settings and timeouts; false when the platform or the
    // device cannot provide them (OpenFailure() says which, where it knows).
    virtual bool Configure(const LineSettings& settings) = 0;
    // True when the platform's close succeeded. Closed afterwards either way.
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;

    // Discards queued data in both directions and aborts pending transfers.
    virtual void Purge() = 0;
    // Writes all of `data`; TimedOut after `guardMs` (the unsent rest is
    // discarded). A count below `size` with Ok means the configured write
    // timeout ended the write early.
    virtual IoResult Write(const std::uint8_t* data, std::size_t size, int guardMs) = 0;
    // Waits until at least one byte can be read.
    virtual IoStatus WaitForInput(int timeoutMs) = 0;
    // Reads up to `size` bytes: returns as soon as all have arrived, or with
    // fewer once the read timeouts end it; TimedOut only when `guardMs` runs
    // out first.
    virtual IoResult Read(std::uint8_t* data, std::size_t size, int guardMs) = 0;

    // Why the last Open() or Configure() failed: a TALVEX_OPEN_* code, or
    // TALVEX_OPEN_OK when the backend did not say.
    int OpenFailure() const { return m_openFailure; }

protected:
    // Backends record the reason where they fail, and clear it on success.
    void SetOpenFailure(int reason) { m_openFailure = reason; }

private:
    int m_openFailure = TALVEX_OPEN_OK;
};

// A network port name: "rfc2217://host:port" (Telnet with the com-port
// option, as ser2net's telnet(rfc2217) accepter speaks it) or
// "socket://host:port" (raw TCP). IPv6 hosts go in brackets.
struct NetAddress {
    bool telnet = false;
    std::string host;
    std::string port;  // decimal, 1 to 65535
};
// The address in `name`, or nullopt when `name` is no network port name;
// a name with either scheme and a malformed rest is still a network name,
// reported by `malformed`, so that it never reaches the local backend.
std::optional<NetAddress> ParseNetAddress(const char* name, bool* malformed = nullptr);

// The platform's backend.
std::unique_ptr<CSerialPort> CreateSerialPort();
// The network backend, opened with a network port name.
std::unique_ptr<CSerialPort> CreateNetworkPort();
// The port the library uses: picks the network or the serial backend by the
// name each Open() is given.
std::unique_ptr<CSerialPort> CreatePortByName();
// The device name of numbered port `number` (COM1 is 1); empty when there is
// no such name.
std::string PortNameForNumber(int number);
// The platform's own sleep, for the link's fixed pause and reply delays: a
// C++ runtime's sleep may add its own rounding on top of the platform's.
void PlatformSleep(int ms);

}  // namespace talvex
