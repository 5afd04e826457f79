// POSIX backend of CSerialPort: a tty opened non-blocking and exclusive, set
// to raw binary mode, with every wait done by poll() against a deadline.

#include "PosixPoll.h"
#include "SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace talvex {

namespace {

using Clock = posix::Clock;

bool HungUp(int revents) { return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0; }

struct PollOutcome {
    bool ready = false;   // the awaited event came
    bool failed = false;  // error or hang-up
};

// Waits for `events` until `deadline`.
PollOutcome PollUntil(int fd, short events, Clock::time_point deadline)
{
    const int revents = posix::PollEvents(fd, events, deadline);
    // A hung-up tty also reports itself readable; the hang-up wins.
    if (revents < 0 || HungUp(revents))
        return {false, true};
    return {(revents & events) != 0, false};
}

speed_t SpeedFor(int baud)
{
    struct Entry {
        int baud;
        speed_t speed;
    };
    static constexpr Entry kSpeeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
        {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
        {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
        {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
        {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Entry& entry : kSpeeds) {
        if (entry.baud == baud)
            return entry.speed;
    }
    return B0;
}

// Adds the data-bit, parity and stop-bit flags to `cflag`; false for a
// setting this platform has no way to express.
bool ApplyFraming(const LineSettings& settings, tcflag_t& cflag)
{
    cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    switch (settings.dataBits) {
    case 5: cflag |= CS5; break;
    case 6: cflag |= CS6; break;
    case 7: cflag |= CS7; break;
    case 8: cflag |= CS8; break;
    default: return false;
    }
    switch (settings.parity) {
    case TALVEX_PARITY_NONE: break;
    case TALVEX_PARITY_ODD: cflag |= PARENB | PARODD; break;
    case TALVEX_PARITY_EVEN: cflag |= PARENB; break;
    case TALVEX_PARITY_MARK: cflag |= PARENB | CMSPAR | PARODD; break;
    case TALVEX_PARITY_SPACE: cflag |= PARENB | CMSPAR; break;
    default: return false;
    }
    switch (settings.stopBits) {
    case TALVEX_STOPBITS_ONE: break;
    case TALVEX_STOPBITS_TWO: cflag |= CSTOPB; break;
    default: return false;  // one and a half does not exist here
    }
    return true;
}

// tcsetattr() succeeds when the driver took any part of the request, so
// the settings are read back: a line that silently kept another speed or
// framing would garble every exchange.
bool Took(int fd, const termios& asked)
{
    termios now{};
    if (::tcgetattr(fd, &now) != 0)
        return false;
    constexpr tcflag_t kFraming = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    return ::cfgetispeed(&now) == ::cfgetispeed(&asked) && ::cfgetospeed(&now) == ::cfgetospeed(&asked) &&
           (now.c_cflag & kFraming) == (asked.c_cflag & kFraming);
}

// The open-failure reason of an errno from open(), the exclusive-use
// ioctl, the lock or the first tcgetattr().
int OpenReason(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:  // a device node without a device behind it
    case ENOTDIR: return TALVEX_OPEN_NO_DEVICE;
    case EACCES:
    case EPERM:
    case EROFS: return TALVEX_OPEN_PERMISSION;
    case EBUSY:
    case EWOULDBLOCK:  // the lock another program holds
        return TALVEX_OPEN_BUSY;
    case ENOTTY:
    case EISDIR:
    case EINVAL: return TALVEX_OPEN_NOT_SERIAL;
    default: return TALVEX_OPEN_OTHER;
    }
}

class CPosixSerialPort final : public CSerialPort
{
public:
    ~CPosixSerialPort() override { Close(); }

    bool Open(const char* device) override;
    bool Configure(const LineSettings& settings) override;
    bool Close() override;
    bool IsOpen() const override { return m_fd >= 0; }
    void Purge() override;
    IoResult Write(const std::uint8_t* data, std::size_t size, int guardMs) override;
    IoStatus WaitForInput(int timeoutMs) override;
    IoResult Read(std::uint8_t* data, std::size_t size, int guardMs) override;

private:
    int m_fd = -1;
    TalvexCommTimeouts m_timeouts = kDefaultTimeouts;
};

bool CPosixSerialPort::Open(const char* device)
{
    if (IsOpen())
        Close();
    int fd;
    do {
        fd = ::open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetOpenFailure(OpenReason(errno));
        return false;
    }
    // TIOCEXCL keeps other opens out (except privileged ones); the lock is
    // what other well-behaved programs, and a privileged caller, respect.
    if (::ioctl(fd, TIOCEXCL) != 0) {
        SetOpenFailure(OpenReason(errno));
        ::close(fd);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        SetOpenFailure(OpenReason(errno));
        // The flag belongs to the tty, not to this descriptor: left set, it
        // would keep the port shut for as long as the other holder keeps it.
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_timeouts = kDefaultTimeouts;
    SetOpenFailure(TALVEX_OPEN_OK);
    return true;
}

bool CPosixSerialPort::Configure(const LineSettings& settings)
{
    if (!IsOpen())
        return false;
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
        SetOpenFailure(OpenReason(errno));
        return false;
    }
    const speed_t speed = SpeedFor(settings.baud);
    if (speed == B0 || !ApplyFraming(settings, tio.c_cflag)) {
        SetOpenFailure(TALVEX_OPEN_SETTINGS);
        return false;
    }
    // Binary bytes: no translation, echo, signals or software flow control
    // (XON/XOFF would swallow data bytes 0x11 and 0x13). Hardware flow
    // control and the modem lines stay as the driver has them.
    tio.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CREAD | CLOCAL;
    // VMIN 1 makes an empty non-blocking read fail with EAGAIN, so that a
    // read of 0 bytes can only mean a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 || ::tcsetattr(m_fd, TCSANOW, &tio) != 0 ||
        !Took(m_fd, tio)) {
        SetOpenFailure(TALVEX_OPEN_SETTINGS);
        return false;
    }
    m_timeouts = settings.timeouts.value_or(kDefaultTimeouts);
    SetOpenFailure(TALVEX_OPEN_OK);
    return true;
}

bool CPosixSerialPort::Close()
{
    if (!IsOpen())
        return false;
    // Clear the exclusive flag: it belongs to the tty, which may outlive us.
    ::ioctl(m_fd, TIOCNXCL);
    const int fd = m_fd;
    m_fd = -1;
    // The descriptor is gone even when close() reports EINTR; never retry.
    return ::close(fd) == 0 || errno == EINTR;
}

void CPosixSerialPort::Purge()
{
    if (IsOpen())
        ::tcflush(m_fd, TCIOFLUSH);
}

IoResult CPosixSerialPort::Write(const std::uint8_t* data, std::size_t size, int guardMs)
{
    if (!IsOpen())
        return {};
    const auto start = Clock::now();
    const auto guard = start + std::chrono::milliseconds(guardMs);
    const std::uint64_t writeLimit =
        std::uint64_t{m_timeouts.writeTotalTimeoutMultiplier} * size + m_timeouts.writeTotalTimeoutConstant;
    const auto limit = writeLimit == 0 ? guard : std::min(guard, start + std::chrono::milliseconds(writeLimit));
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return {IoStatus::Failed, done};
        const PollOutcome outcome = PollUntil(m_fd, POLLOUT, limit);
        if (outcome.failed)
            return {IoStatus::Failed, done};
        if (!outcome.ready) {
            ::tcflush(m_fd, TCOFLUSH);
            if (limit < guard)
                return {IoStatus::Ok, done};
            return {IoStatus::TimedOut, done};
        }
    }
    return {IoStatus::Ok, done};
}

IoStatus CPosixSerialPort::WaitForInput(int timeoutMs)
{
    if (!IsOpen())
        return IoStatus::Failed;
    const PollOutcome outcome = PollUntil(m_fd, POLLIN, Clock::now() + std::chrono::milliseconds(timeoutMs));
    if (outcome.failed)
        return IoStatus::Failed;
    return outcome.ready ? IoStatus::Ok : IoStatus::TimedOut;
}

IoResult CPosixSerialPort::Read(std::uint8_t* data, std::size_t size, int guardMs)
{
    if (!IsOpen())
        return {};
    posix::CReadDeadlines deadlines(m_timeouts, size, guardMs);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(m_fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            deadlines.BytesArrived();
            continue;
        }
        if (n == 0)
            return {IoStatus::Failed, done};  // hung up
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return {IoStatus::Failed, done};
        if (deadlines.AtOnce())
            break;
        // Nothing queued: wait for more, until the line has been quiet for
        // the gap (once something arrived) or the total time is up.
        const PollOutcome outcome = PollUntil(m_fd, POLLIN, deadlines.WaitUntil(done > 0));
        if (outcome.failed)
            return {IoStatus::Failed, done};
        if (outcome.ready)
            continue;
        if (deadlines.GuardRanOut())
            return {IoStatus::TimedOut, done};
        break;
    }
    return {IoStatus::Ok, done};
}

}  // namespace

std::unique_ptr<CSerialPort> CreateSerialPort() { return std::make_unique<CPosixSerialPort>(); }

std::string PortNameForNumber(int number)
{
    if (number <= 0)
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "/dev/ttyS%d", number - 1);
    return name;
}

void PlatformSleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace talvex
