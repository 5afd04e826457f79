#pragma once
// The link to the transmitter: the one port of the library, its last failure
// code, and the request/reply transaction every command goes through.
// Not thread-safe by design: callers serialise every call, including the
// read of the failure code that judges a call.

#include "Protocol.h"
#include "SerialPort.h"

#include <cstddef>
#include <cstdint>

namespace talvex {

class CCommLink
{
public:
    // Sleeps for the given number of milliseconds.
    using Sleeper = void (*)(int ms);

    static constexpr int kSettleMs = 50;   // pause after the opening purge
    static constexpr int kGuardMs = 2000;  // write, first reply byte, read

    explicit CCommLink(CSerialPort& port, Sleeper sleep = SleepMs);

    // Closes an open port first, also when this open then fails. The code is
    // kCodeNoReply afterwards until the first transaction. A null or empty
    // device name fails.
    bool Open(const char* device, const LineSettings& settings);
    // 0 when no port is open, else 1 when the close succeeded.
    int Close();
    bool IsOpen() const { return m_port.IsOpen(); }
    int LastError() const { return m_lastError; }
    // Why the last Open() failed (TALVEX_OPEN_*); TALVEX_OPEN_OK after a
    // successful one.
    int LastOpenError() const { return m_openError; }

    // One exchange: sends `request`, expects "OK" and `expected` data bytes
    // (at most kMaxReplyData) and copies them to `replyData` when it is not
    // null. Waits `replyDelayMs` between the first reply byte and the read.
    bool CommTransact(std::span<const std::uint8_t> request, std::uint8_t* replyData, std::size_t expected,
                      int replyDelayMs);
    void PurgeCommAll();

    static void SleepMs(int ms);

private:
    // The exchange between the opening pause and the final purge.
    bool Exchange(std::span<const std::uint8_t> request, std::uint8_t* replyData, std::size_t expected,
                  int replyDelayMs);
    bool Fail(int code);
    bool FailOpen(int reason);

    CSerialPort& m_port;
    Sleeper m_sleep = SleepMs;
    int m_lastError = kCodeOk;
    int m_openError = TALVEX_OPEN_OK;
};

}  // namespace talvex
