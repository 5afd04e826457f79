// Win32 backend of CSerialPort: a COM port opened exclusively with
// overlapped I/O, every wait bounded by WaitForSingleObject on the
// operation's own event.
//
// A device that goes away (a USB adapter pulled out) shows up as a failed
// operation (ERROR_ACCESS_DENIED, ERROR_GEN_FAILURE, ERROR_BAD_COMMAND or
// ERROR_OPERATION_ABORTED) or as WaitCommEvent completing with an empty
// mask; all of these are IoStatus::Failed here, which the link reports as a
// write or read failure, as the POSIX backend does for a hang-up.

#include "SerialPort.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace talvex {

namespace {

constexpr DWORD kQueueSize = 4096;
constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// The first reply byte, or a line error (framing, parity, overrun, break):
// either ends the wait for the reply. Only characters while configuring.
constexpr DWORD kWaitMask = EV_RXCHAR | EV_ERR;

// The library's parity and stop-bit codes are the DCB's own values; the
// compiler keeps them that way.
static_assert(TALVEX_PARITY_NONE == NOPARITY && TALVEX_PARITY_ODD == ODDPARITY && TALVEX_PARITY_EVEN == EVENPARITY &&
              TALVEX_PARITY_MARK == MARKPARITY && TALVEX_PARITY_SPACE == SPACEPARITY);
static_assert(TALVEX_STOPBITS_ONE == ONESTOPBIT && TALVEX_STOPBITS_ONE_HALF == ONE5STOPBITS &&
              TALVEX_STOPBITS_TWO == TWOSTOPBITS);
// The record a caller passes is handed to SetCommTimeouts as it is.
static_assert(sizeof(TalvexCommTimeouts) == sizeof(COMMTIMEOUTS));

COMMTIMEOUTS ToCommTimeouts(const TalvexCommTimeouts& t)
{
    COMMTIMEOUTS c{};
    c.ReadIntervalTimeout = t.readIntervalTimeout;
    c.ReadTotalTimeoutMultiplier = t.readTotalTimeoutMultiplier;
    c.ReadTotalTimeoutConstant = t.readTotalTimeoutConstant;
    c.WriteTotalTimeoutMultiplier = t.writeTotalTimeoutMultiplier;
    c.WriteTotalTimeoutConstant = t.writeTotalTimeoutConstant;
    return c;
}

// "COM12" (any case) becomes "\\.\COM12", which also reaches ports above
// COM9; any other name, "\\.\COM12" included, is used as it is.
std::string DeviceName(const char* device)
{
    const std::size_t length = std::strlen(device);
    bool comName = length > 3 && _strnicmp(device, "COM", 3) == 0;
    for (std::size_t i = 3; comName && i < length; ++i)
        comName = std::isdigit(static_cast<unsigned char>(device[i])) != 0;
    return comName ? std::string("\\\\.\\") + device : std::string(device);
}

// The open-failure reason of CreateFileA's error. A port another program
// holds is refused with access denied, as no sharing was allowed.
int OpenReason(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: return TALVEX_OPEN_NO_DEVICE;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return TALVEX_OPEN_BUSY;
    default: return TALVEX_OPEN_OTHER;
    }
}

bool ValidFraming(const LineSettings& s)
{
    return s.baud > 0 && s.dataBits >= 5 && s.dataBits <= 8 && s.parity >= TALVEX_PARITY_NONE &&
           s.parity <= TALVEX_PARITY_SPACE && s.stopBits >= TALVEX_STOPBITS_ONE && s.stopBits <= TALVEX_STOPBITS_TWO;
}

// One overlapped operation slot: its OVERLAPPED and the manual-reset event
// it completes on. A slot is reused only after its operation has finished.
class COverlapped
{
public:
    COverlapped() { m_ov.hEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~COverlapped()
    {
        if (m_ov.hEvent != nullptr)
            ::CloseHandle(m_ov.hEvent);
    }
    COverlapped(const COverlapped&) = delete;
    COverlapped& operator=(const COverlapped&) = delete;

    bool Valid() const { return m_ov.hEvent != nullptr; }
    // A fresh OVERLAPPED for the next operation.
    OVERLAPPED* Start()
    {
        const HANDLE event = m_ov.hEvent;
        m_ov = OVERLAPPED{};
        m_ov.hEvent = event;
        ::ResetEvent(event);
        return &m_ov;
    }

    enum class Outcome { Done, TimedOut, Failed };
    struct Completion {
        Outcome outcome = Outcome::Failed;
        DWORD count = 0;
    };

    // Finishes an operation that was started with `started` (its call's
    // result) on `port`: waits up to `timeoutMs` when it is pending. After a
    // time-out the operation is cancelled (CancelIo, then `cancel`) and
    // waited for, so that neither the OVERLAPPED nor the buffer is still in
    // the driver's hands when they are used again.
    template <typename Cancel>
    Completion Finish(HANDLE port, BOOL started, DWORD timeoutMs, Cancel cancel)
    {
        Completion c;
        if (!started && ::GetLastError() != ERROR_IO_PENDING)
            return c;
        if (!started) {
            const DWORD waited = ::WaitForSingleObject(m_ov.hEvent, timeoutMs);
            if (waited != WAIT_OBJECT_0) {
                ::CancelIo(port);
                cancel();
                ::GetOverlappedResult(port, &m_ov, &c.count, TRUE);
                if (waited == WAIT_TIMEOUT)
                    c.outcome = Outcome::TimedOut;
                return c;
            }
        }
        if (::GetOverlappedResult(port, &m_ov, &c.count, FALSE))
            c.outcome = Outcome::Done;
        return c;
    }

private:
    OVERLAPPED m_ov{};
};

class CWin32SerialPort final : public CSerialPort
{
public:
    ~CWin32SerialPort() override { Close(); }

    bool Open(const char* device) override;
    bool Configure(const LineSettings& settings) override;
    bool Close() override;
    bool IsOpen() const override { return m_port != INVALID_HANDLE_VALUE; }
    void Purge() override;
    IoResult Write(const std::uint8_t* data, std::size_t size, int guardMs) override;
    IoStatus WaitForInput(int timeoutMs) override;
    IoResult Read(std::uint8_t* data, std::size_t size, int guardMs) override;

private:
    // Clears a line error the driver holds, which would otherwise end the
    // next wait at once; what it was does not matter to the exchange.
    void ClearErrors() const;
    // Bytes waiting in the driver's input queue; -1 when the port failed.
    long long QueuedInput() const;

    HANDLE m_port = INVALID_HANDLE_VALUE;
    COverlapped m_write;
    COverlapped m_read;
    COverlapped m_wait;
    // Written when the wait completes, which may be after WaitCommEvent
    // returned: it lives as long as the port.
    DWORD m_waitMask = 0;
};

bool CWin32SerialPort::Open(const char* device)
{
    if (IsOpen())
        Close();
    if (!m_write.Valid() || !m_read.Valid() || !m_wait.Valid())
        return false;
    // No sharing: a port another program holds fails here.
    const HANDLE port = ::CreateFileA(DeviceName(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        SetOpenFailure(OpenReason(::GetLastError()));
        return false;
    }
    m_port = port;
    SetOpenFailure(TALVEX_OPEN_OK);
    return true;
}

bool CWin32SerialPort::Configure(const LineSettings& settings)
{
    if (!IsOpen() || !ValidFraming(settings))
        return false;
    COMMTIMEOUTS timeouts = ToCommTimeouts(settings.timeouts.value_or(kDefaultTimeouts));
    if (!::SetupComm(m_port, kQueueSize, kQueueSize) || !::SetCommTimeouts(m_port, &timeouts) ||
        !::PurgeComm(m_port, kPurgeAll) || !::SetCommMask(m_port, EV_RXCHAR))
        return false;

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(m_port, &dcb))
        return false;
    dcb.BaudRate = static_cast<DWORD>(settings.baud);
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = static_cast<BYTE>(settings.parity);
    dcb.StopBits = static_cast<BYTE>(settings.stopBits);
    dcb.fParity = settings.parity != TALVEX_PARITY_NONE;
    // Binary bytes, as a previous user of the port may have left it
    // otherwise: no software flow control (XON/XOFF would swallow data
    // bytes 0x11 and 0x13), no dropped 0x00 bytes (serial numbers hold
    // them), no replaced bytes, and no I/O that stays aborted after one
    // garbled byte until someone clears the error. Hardware flow control
    // and the modem lines stay as the driver has them.
    dcb.fBinary = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(m_port, &dcb))
        return false;

    // Some drivers accept a setting they cannot provide and keep another;
    // a line that is not what was asked for would garble every reply.
    DCB actual{};
    actual.DCBlength = sizeof actual;
    if (!::GetCommState(m_port, &actual))
        return false;
    if (actual.BaudRate != dcb.BaudRate || actual.ByteSize != dcb.ByteSize || actual.Parity != dcb.Parity ||
        actual.StopBits != dcb.StopBits)
        return false;
    // Once configured, a line error ends a wait too; a driver that cannot
    // report one still waits for characters, so the result does not matter.
    ::SetCommMask(m_port, kWaitMask);
    return true;
}

bool CWin32SerialPort::Close()
{
    if (!IsOpen())
        return false;
    const HANDLE port = m_port;
    m_port = INVALID_HANDLE_VALUE;
    return ::CloseHandle(port) != 0;
}

void CWin32SerialPort::Purge()
{
    if (IsOpen())
        ::PurgeComm(m_port, kPurgeAll);
}

void CWin32SerialPort::ClearErrors() const
{
    DWORD errors = 0;
    ::ClearCommError(m_port, &errors, nullptr);
}

long long CWin32SerialPort::QueuedInput() const
{
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(m_port, &errors, &status))
        return -1;
    return status.cbInQue;
}

IoResult CWin32SerialPort::Write(const std::uint8_t* data, std::size_t size, int guardMs)
{
    if (!IsOpen() || size > MAXDWORD)
        return {};
    ClearErrors();
    OVERLAPPED* ov = m_write.Start();
    const BOOL started = ::WriteFile(m_port, data, static_cast<DWORD>(size), nullptr, ov);
    const COverlapped::Completion c = m_write.Finish(m_port, started, static_cast<DWORD>(std::max(guardMs, 0)), [] {});
    switch (c.outcome) {
    case COverlapped::Outcome::Done:
        // Fewer bytes with success: the configured write timeout ended it.
        return {IoStatus::Ok, c.count};
    case COverlapped::Outcome::TimedOut: ::PurgeComm(m_port, PURGE_TXCLEAR); return {IoStatus::TimedOut, c.count};
    case COverlapped::Outcome::Failed: break;
    }
    return {IoStatus::Failed, c.count};
}

IoStatus CWin32SerialPort::WaitForInput(int timeoutMs)
{
    if (!IsOpen())
        return IoStatus::Failed;
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
    for (;;) {
        // Some USB drivers raise no EV_RXCHAR for bytes that arrived before
        // the wait was issued: look at the queue first, every round. A port
        // whose device is gone fails here.
        const long long queued = QueuedInput();
        if (queued < 0)
            return IoStatus::Failed;
        if (queued > 0)
            return IoStatus::Ok;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return IoStatus::TimedOut;

        m_waitMask = 0;
        OVERLAPPED* ov = m_wait.Start();
        const BOOL started = ::WaitCommEvent(m_port, &m_waitMask, ov);
        if (!started && ::GetLastError() != ERROR_IO_PENDING)
            return IoStatus::Failed;
        const COverlapped::Completion c = m_wait.Finish(m_port, started, static_cast<DWORD>(deadline - now), [this] {
            // Setting the mask again ends a pending wait on every
            // driver, also where CancelIo does not reach it.
            ::SetCommMask(m_port, kWaitMask);
        });
        if (c.outcome == COverlapped::Outcome::TimedOut) {
            // A byte may have come just as the wait was given up.
            const long long last = QueuedInput();
            if (last < 0)
                return IoStatus::Failed;
            return last > 0 ? IoStatus::Ok : IoStatus::TimedOut;
        }
        // A line error ends the wait as the first byte does: the read then
        // judges whatever arrived.
        if (c.outcome == COverlapped::Outcome::Done && (m_waitMask & EV_ERR) != 0)
            return IoStatus::Ok;
        if (c.outcome == COverlapped::Outcome::Done && (m_waitMask & EV_RXCHAR) != 0)
            continue;
        // The wait ended without an event: an empty mask, or aborted. A
        // device that went away does this, and the queue check above then
        // fails. Some drivers also end waits on their own (Wine does after
        // about a millisecond on a line without modem status lines, such as
        // a pseudo-terminal):
        // wait again, after a pause that keeps such a driver from making
        // this a busy loop.
        ::Sleep(1);
    }
}

IoResult CWin32SerialPort::Read(std::uint8_t* data, std::size_t size, int guardMs)
{
    if (!IsOpen() || size > MAXDWORD)
        return {};
    // After the reply delay: an error seen while the reply arrived is not
    // this read's.
    ClearErrors();
    OVERLAPPED* ov = m_read.Start();
    const BOOL started = ::ReadFile(m_port, data, static_cast<DWORD>(size), nullptr, ov);
    const COverlapped::Completion c = m_read.Finish(m_port, started, static_cast<DWORD>(std::max(guardMs, 0)), [] {});
    switch (c.outcome) {
    case COverlapped::Outcome::Done:
        // Fewer bytes, even none: the read timeouts ended it.
        return {IoStatus::Ok, c.count};
    case COverlapped::Outcome::TimedOut: return {IoStatus::TimedOut, c.count};
    case COverlapped::Outcome::Failed: break;
    }
    return {IoStatus::Failed, c.count};
}

}  // namespace

std::unique_ptr<CSerialPort> CreateSerialPort() { return std::make_unique<CWin32SerialPort>(); }

std::string PortNameForNumber(int number)
{
    if (number <= 0)
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "\\\\.\\COM%d", number);
    return name;
}

void PlatformSleep(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

}  // namespace talvex
