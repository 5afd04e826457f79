// The port's life and the transaction over a real tty (a pseudo-terminal
// whose master plays the transmitter), through the library's C interface.

#include "../sim/SimTestSupport.h"
#include "CommLink.h"
#include "PtyPeer.h"
#include "Talvex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Bytes = CPtyPeer::Bytes;
using Clock = std::chrono::steady_clock;

const Bytes kGetTemperature{0x01, 0x01, 0x17};

int OpenPath(const char* path, const void* timeouts = nullptr)
{
    return OpenCommPath(path, 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, timeouts);
}

double ElapsedSeconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Whether the test itself can take the lock the library holds a port with.
bool CanLock(const char* path)
{
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0)
        ::close(fd);
    return locked;
}

class PortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CloseComm();
        ASSERT_EQ(OpenPath(m_peer.Path()), 1) << m_peer.Path();
    }
    void TearDown() override { CloseComm(); }

    CPtyPeer m_peer;
};

TEST_F(PortTest, ClosedLibraryRefusesEveryExchangeWithCode2)
{
    ASSERT_EQ(CloseComm(), 1);
    EXPECT_EQ(CloseComm(), 0);
    EXPECT_EQ(StartUp(0), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NOT_OPEN);
    EXPECT_TRUE(m_peer.Receive(1, 150).empty());
}

TEST_F(PortTest, FailedOpenClosesTheOpenPortAndLeavesCodeMinusOne)
{
    for (const char* path : {"/dev/talvex-no-such-port", "", static_cast<const char*>(nullptr), "/dev/null"}) {
        ASSERT_EQ(OpenPath(m_peer.Path()), 1);
        EXPECT_EQ(OpenPath(path), 0) << (path != nullptr ? path : "(null)");
        EXPECT_EQ(IsOpen(), 0);
        EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
        EXPECT_TRUE(CanLock(m_peer.Path()));
    }
    // Numbered ports: none below 1, and none this far up.
    EXPECT_EQ(OpenComm(0, 57600, 0, 8, 0, nullptr), 0);
    EXPECT_EQ(OpenComm(4000, 57600, 0, 8, 0, nullptr), 0);
}

TEST_F(PortTest, OpenWhileOpenMovesToTheNewPortAndCodeStaysMinusOneUntilAnExchange)
{
    CPtyPeer second;
    EXPECT_FALSE(CanLock(m_peer.Path()));
    ASSERT_EQ(OpenPath(second.Path()), 1);
    EXPECT_TRUE(CanLock(m_peer.Path()));
    EXPECT_EQ(IsOpen(), 1);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);

    auto request = second.Answer(3, {'O', 'K'});
    ASSERT_EQ(StartUp(0), 1);
    EXPECT_EQ(request.get(), (Bytes{0x01, 0x01, 0x03}));
    EXPECT_EQ(GetLastCommError(), TALVEX_OK);
    ASSERT_EQ(OpenPath(second.Path()), 1);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
}

TEST_F(PortTest, PortIsHeldExclusively)
{
    int exclusive = 0;
    ASSERT_EQ(::ioctl(m_peer.Slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);
    EXPECT_FALSE(CanLock(m_peer.Path()));
    ASSERT_EQ(CloseComm(), 1);
    ASSERT_EQ(::ioctl(m_peer.Slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);

    // A port someone else holds does not open.
    const int other = ::open(m_peer.Path(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(OpenPath(m_peer.Path()), 0);
    EXPECT_EQ(IsOpen(), 0);
    // The failed open leaves the tty as it found it: not exclusive.
    ASSERT_EQ(::ioctl(m_peer.Slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(other);
}

// Opens `path` as someone who may not: the device is made unreadable to
// all but its owner, and a root test run takes the identity of nobody for
// the open (root passes every permission check).
int OpenWithoutPermission(const char* path)
{
    struct stat st {};
    if (::stat(path, &st) != 0 || ::chmod(path, 0) != 0)
        return -2;
    const bool root = ::geteuid() == 0;
    if (root && (::setegid(65534) != 0 || ::seteuid(65534) != 0))
        return -3;
    const int result = OpenPath(path);
    if (root && (::seteuid(0) != 0 || ::setegid(0) != 0))
        return -4;
    ::chmod(path, st.st_mode & 07777);
    return result;
}

TEST_F(PortTest, FailedOpenSaysWhy)
{
    simtest::TempDir dir;
    const std::string file = dir.File("plain-file");
    std::ofstream(file) << "not a tty";
    CPtyPeer held;
    const int holder = ::open(held.Path(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    struct Case {
        const char* path;
        int baud;
        int reason;
    };
    const Case cases[] = {
        {nullptr, 57600, TALVEX_OPEN_NO_DEVICE},
        {"", 57600, TALVEX_OPEN_NO_DEVICE},
        {"/dev/talvex-no-such-port", 57600, TALVEX_OPEN_NO_DEVICE},
        {"/dev/null/ttyS0", 57600, TALVEX_OPEN_NO_DEVICE},
        {"/dev/null", 57600, TALVEX_OPEN_NOT_SERIAL},
        {file.c_str(), 57600, TALVEX_OPEN_NOT_SERIAL},
        {dir.Path().c_str(), 57600, TALVEX_OPEN_NOT_SERIAL},
        {held.Path(), 57600, TALVEX_OPEN_BUSY},
        {m_peer.Path(), 12345, TALVEX_OPEN_SETTINGS},
        {m_peer.Path(), 57600, TALVEX_OPEN_OK},
    };
    for (const Case& c : cases) {
        const int opened = OpenCommPath(c.path, c.baud, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr);
        const char* shown = c.path != nullptr ? c.path : "(null)";
        EXPECT_EQ(opened, c.reason == TALVEX_OPEN_OK ? 1 : 0) << shown;
        EXPECT_EQ(GetLastOpenError(), c.reason) << shown;
        EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY) << shown;
    }
    // The reason stays until the next open; exchanges do not touch it.
    auto request = m_peer.Answer(3, {'E', 'R'});
    EXPECT_EQ(StartUp(0), 0);
    EXPECT_EQ(request.get(), (Bytes{0x01, 0x01, 0x03}));
    EXPECT_EQ(GetLastOpenError(), TALVEX_OPEN_OK);
    EXPECT_EQ(OpenComm(0, 57600, 0, 8, 0, nullptr), 0);
    EXPECT_EQ(GetLastOpenError(), TALVEX_OPEN_NO_DEVICE);
    ::close(holder);

    CPtyPeer locked;
    EXPECT_EQ(OpenWithoutPermission(locked.Path()), 0);
    EXPECT_EQ(GetLastOpenError(), TALVEX_OPEN_PERMISSION);
    EXPECT_EQ(IsOpen(), 0);

    // Every reason has its own text, and unknown codes still get one.
    std::set<std::string> texts;
    for (int reason = TALVEX_OPEN_OTHER; reason <= TALVEX_OPEN_CANNOT_CONNECT; ++reason)
        texts.insert(GetOpenErrorText(reason));
    EXPECT_EQ(texts.size(), 9u);
    EXPECT_STREQ(GetOpenErrorText(TALVEX_OPEN_PERMISSION), "permission denied");
    EXPECT_STREQ(GetOpenErrorText(1000), GetOpenErrorText(TALVEX_OPEN_OTHER));
}

TEST_F(PortTest, LineIsRawAndFramingThePlatformLacksIsRefused)
{
    termios tio{};
    ASSERT_EQ(::tcgetattr(m_peer.Slave(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B57600));
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);

    // Only the low byte of the framing arguments counts. (A pseudo-terminal
    // refuses parity and sizes other than 8 bits, so those stay put here.)
    ASSERT_EQ(OpenCommPath(m_peer.Path(), 9600, 0x100, 0x208, 0x300 | TALVEX_STOPBITS_TWO, nullptr), 1);
    ASSERT_EQ(::tcgetattr(m_peer.Slave(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);

    EXPECT_EQ(OpenCommPath(m_peer.Path(), 57600, 0, 8, TALVEX_STOPBITS_ONE_HALF, nullptr), 0);
    EXPECT_EQ(OpenCommPath(m_peer.Path(), 12345, 0, 8, 0, nullptr), 0);
    EXPECT_EQ(OpenCommPath(m_peer.Path(), 57600, 0, 9, 0, nullptr), 0);
    EXPECT_EQ(OpenCommPath(m_peer.Path(), 57600, 5, 8, 0, nullptr), 0);
    // Mark and space parity are accepted by tcsetattr() on a pseudo-terminal,
    // which then quietly keeps no parity: the open must notice and fail.
    for (const int parity : {TALVEX_PARITY_MARK, TALVEX_PARITY_SPACE}) {
        EXPECT_EQ(OpenCommPath(m_peer.Path(), 57600, parity, 8, 0, nullptr), 0) << parity;
        EXPECT_EQ(IsOpen(), 0);
        EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    }
    EXPECT_TRUE(CanLock(m_peer.Path()));
}

TEST(CookedLineTest, ControlBytesPassUnchangedBothWays)
{
    // A line the peer left cooked: a library that set no flags would lose
    // 0x11/0x13 to XON/XOFF and 0x03 to the signal characters, turn 0x0D
    // into 0x0A on input and 0x0A into 0x0D 0x0A on output, hold input
    // back until a newline and echo it.
    CPtyPeer peer(CPtyPeer::Line::Cooked);
    CloseComm();
    ASSERT_EQ(OpenPath(peer.Path()), 1);

    auto tune = peer.Answer(5, {'O', 'K'});
    EXPECT_EQ(SetFMFreq(0x0A0D, 0), 1);
    EXPECT_EQ(tune.get(), (Bytes{0x01, 0x03, 0x0E, 0x0A, 0x0D}));
    for (const int value : {0x03, 0x11, 0x13}) {
        auto request = peer.Answer(4, {'O', 'K'});
        EXPECT_EQ(SetLINEVol(value, 0), 1);
        EXPECT_EQ(request.get(), (Bytes{0x01, 0x02, 0x0F, static_cast<std::uint8_t>(value)}));
    }
    char serial[20] = {};
    auto reading = peer.Answer(3, {'O', 'K', 0x03, 0x0A, 0x0D, 0x11, 0x13, 0x0D, 0x0A});
    EXPECT_EQ(GetSerialNum(serial, sizeof serial, 20), 1);
    reading.get();
    EXPECT_STREQ(serial, "030A0D11130D0A");
    EXPECT_TRUE(peer.Receive(1, 100).empty()) << "nothing echoed back";
    CloseComm();
}

// Stands in for the 50 ms pause: the answer to an earlier request that
// timed out lands during it.
CPtyPeer* g_latePeer = nullptr;

void LateAnswerDuringPause(int ms)
{
    if (ms == talvex::CCommLink::kSettleMs && g_latePeer != nullptr) {
        g_latePeer->Send({'O', 'K', 0x03, 0xE8});  // GetFMFreq's answer: 1000
        g_latePeer = nullptr;
    }
    talvex::CCommLink::SleepMs(ms);
}

TEST(LateAnswerTest, AnswerLandingInThePauseIsNotTakenForTheReply)
{
    CPtyPeer peer;
    const auto port = talvex::CreateSerialPort();
    talvex::CCommLink link(*port, LateAnswerDuringPause);
    ASSERT_TRUE(link.Open(peer.Path(), {}));
    g_latePeer = &peer;
    auto request = peer.Answer(3, {'O', 'K', 0x05});
    const Bytes getLineVol{0x01, 0x01, 0x1D};
    std::uint8_t volume = 0;
    EXPECT_TRUE(link.CommTransact(getLineVol, &volume, 1, 20));
    EXPECT_EQ(request.get(), getLineVol);
    EXPECT_EQ(link.LastError(), talvex::kCodeOk);
    EXPECT_EQ(volume, 5) << "3 would be the stale frequency's high byte";
}

TEST_F(PortTest, UnusableOutputsAreRefusedWithoutTouchingLineOrCode)
{
    char text[20] = "keep";
    EXPECT_EQ(GetSerialNum(text, 14, 0), 0);
    EXPECT_EQ(GetVersionNum(text, 2, 0), 0);
    EXPECT_EQ(GetDevType(text, 3, 0), 0);
    EXPECT_STREQ(text, "keep");
    EXPECT_EQ(GetSerialNum(nullptr, 20, 0), 0);
    EXPECT_EQ(GetTemperature(nullptr, 0), 0);
    EXPECT_EQ(GetFMFreq(nullptr, 0), 0);
    EXPECT_EQ(GetDevState(nullptr, 0), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    EXPECT_TRUE(m_peer.Receive(1, 150).empty());
}

TEST_F(PortTest, RefusalComesBackPromptlyAndEmptiesOnlyTheSerialNumber)
{
    char serial[20] = "12AB0005FF3C7E";
    auto request = m_peer.Answer(3, {'E', 'R'});
    const auto start = Clock::now();
    EXPECT_EQ(GetSerialNum(serial, sizeof serial, 100), 0);
    EXPECT_LT(ElapsedSeconds(start), 0.6);  // a short read, not a time-out
    EXPECT_EQ(request.get(), (Bytes{0x01, 0x01, 0x19}));
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_STREQ(serial, "");

    char version[8] = "v9";
    request = m_peer.Answer(3, {'E', 'R'});
    EXPECT_EQ(GetVersionNum(version, sizeof version, 0), 0);
    request.get();
    EXPECT_STREQ(version, "v9");
}

TEST_F(PortTest, ShortAcknowledgementIsAccepted)
{
    auto tune = m_peer.Answer(5, {'K'});
    EXPECT_EQ(SetFMFreq(1000, 0), 1);
    EXPECT_EQ(tune.get(), (Bytes{0x01, 0x03, 0x0E, 0x03, 0xE8}));

    int degrees = -1;
    auto reading = m_peer.Answer(3, {'K', 0x2D});
    const auto start = Clock::now();
    EXPECT_EQ(GetTemperature(&degrees, 0), 1);
    EXPECT_LT(ElapsedSeconds(start), 0.6);
    EXPECT_EQ(degrees, 45);
}

TEST_F(PortTest, BytesBeyondTheReplyAreDiscarded)
{
    int degrees = -1;
    auto first = m_peer.Answer(3, {'O', 'K', 0x2D, 'O', 'K', 0x63, 0x63});
    EXPECT_EQ(GetTemperature(&degrees, 20), 1);
    EXPECT_EQ(first.get(), kGetTemperature);
    EXPECT_EQ(degrees, 45);

    auto second = m_peer.Answer(3, {'O', 'K', 0x1E});
    EXPECT_EQ(GetTemperature(&degrees, 20), 1);
    EXPECT_EQ(second.get(), kGetTemperature);
    EXPECT_EQ(degrees, 30);
}

TEST_F(PortTest, NoReplyEndsAtTheFirstByteWait)
{
    int degrees = -1;
    auto request = m_peer.Answer(3, {});
    const auto start = Clock::now();
    EXPECT_EQ(GetTemperature(&degrees, 100), 0);
    const double elapsed = ElapsedSeconds(start);
    EXPECT_EQ(request.get(), kGetTemperature);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    EXPECT_EQ(degrees, -1);
    // The 50 ms pause and the 2000 ms wait; the reply delay never starts.
    EXPECT_GE(elapsed, 2.0);
    EXPECT_LT(elapsed, 2.5);
}

TEST_F(PortTest, StoppedOutputTimesTheWriteOutAndIsDiscarded)
{
    ASSERT_EQ(::tcflow(m_peer.Slave(), TCOOFF), 0);
    const auto start = Clock::now();
    EXPECT_EQ(SetLINE(1, 0), 0);
    const double elapsed = ElapsedSeconds(start);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_WRITE_TIMEOUT);
    EXPECT_GE(elapsed, 2.0);
    EXPECT_LT(elapsed, 2.5);
    ASSERT_EQ(::tcflow(m_peer.Slave(), TCOON), 0);

    // Only the next request arrives, not the one that timed out.
    auto request = m_peer.Answer(3, {'O', 'K'});
    EXPECT_EQ(SetLINE(0, 0), 1);
    EXPECT_EQ(request.get(), (Bytes{0x01, 0x01, 0x04}));
    EXPECT_TRUE(m_peer.Receive(1, 100).empty());
}

TEST_F(PortTest, HangUpFailsPromptlyAndAFreshPortWorks)
{
    int degrees = -1;
    auto request = m_peer.HangUpAfter(3);
    auto start = Clock::now();
    EXPECT_EQ(GetTemperature(&degrees, 100), 0);
    EXPECT_LT(ElapsedSeconds(start), 0.6);
    EXPECT_EQ(request.get(), kGetTemperature);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_READ);

    start = Clock::now();
    EXPECT_EQ(StartUp(100), 0);  // writing to the dead line fails at once too
    EXPECT_LT(ElapsedSeconds(start), 0.6);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_WRITE);
    EXPECT_EQ(IsOpen(), 1);

    CPtyPeer replacement;
    ASSERT_EQ(OpenPath(replacement.Path()), 1);
    auto answered = replacement.Answer(3, {'O', 'K', 0x21});
    EXPECT_EQ(GetTemperature(&degrees, 0), 1);
    EXPECT_EQ(answered.get(), kGetTemperature);
    EXPECT_EQ(degrees, 33);
}

TEST_F(PortTest, TimeoutsRecordShapesTheReplyRead)
{
    // No gap between bytes and 400 ms for the whole read: a short refusal
    // waits out the constant instead of ending on a quiet line.
    const TalvexCommTimeouts slow{0, 0, 400, 0, 0};
    ASSERT_EQ(OpenPath(m_peer.Path(), &slow), 1);
    char text[20];
    auto request = m_peer.Answer(3, {'E', 'R'});
    const auto start = Clock::now();
    EXPECT_EQ(GetSerialNum(text, sizeof text, 0), 0);
    const double elapsed = ElapsedSeconds(start);
    request.get();
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_GE(elapsed, 0.4);
    EXPECT_LT(elapsed, 1.0);
}

}  // namespace
