#include "SimLineTest.h"

#include <Talvex.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace sim_test {

namespace {

// Ends the test program's application object after the last test, so that
// the libraries it brought up (fonts, platform plugin) are shut down in order.
class ApplicationEnvironment : public ::testing::Environment
{
public:
    void TearDown() override { delete QCoreApplication::instance(); }
};

}  // namespace

void DeleteApplicationAfterTheLastTest()
{
    [[maybe_unused]] static ::testing::Environment* const environment =
        ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);
}

void SimTest::SetUpTestSuite()
{
    DeleteApplicationAfterTheLastTest();
    if (QCoreApplication::instance()) {
        return;
    }
    static int argc = 1;
    static char name[] = "core_tests";
    static char* argv[] = {name, nullptr};
    // Lives for the whole test program; deleted after the last test.
    new QCoreApplication(argc, argv);
}

void SimTest::SetUp()
{
    std::string error;
    ASSERT_TRUE(m_sim.Start(&error)) << error;
}

void SimTest::TearDown()
{
    CloseComm();
    m_sim.Stop();
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() >= timeout.count()) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(2);
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < duration.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(2);
    }
}

DeadPort::DeadPort()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        return;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_path = QString::fromLocal8Bit(name);
}

std::vector<std::uint8_t> DeadPort::TakeWritten()
{
    std::vector<std::uint8_t> bytes;
    if (m_master < 0) {
        return bytes;
    }
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    std::uint8_t buffer[256];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    fcntl(m_master, F_SETFL, flags);
    return bytes;
}

DeadPort::~DeadPort()
{
    if (m_master >= 0) {
        ::close(m_master);
    }
}

std::string FramesToString(const std::vector<Frame>& frames)
{
    std::string text;
    for (const Frame& frame : frames) {
        if (!text.empty()) {
            text += " | ";
        }
        for (std::size_t i = 0; i < frame.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", frame[i]);
            text += byte;
        }
    }
    return text.empty() ? std::string("(none)") : text;
}

std::vector<Frame> FramesWithout(const std::vector<Frame>& frames, std::initializer_list<int> codes)
{
    std::vector<Frame> kept;
    for (const Frame& frame : frames) {
        const int code = frame.size() > 2 ? frame[2] : -1;
        if (std::find(codes.begin(), codes.end(), code) == codes.end()) {
            kept.push_back(frame);
        }
    }
    return kept;
}

Frame F(std::initializer_list<int> bytes)
{
    Frame frame;
    for (int b : bytes) {
        frame.push_back(static_cast<std::uint8_t>(b));
    }
    return frame;
}

int CountCode(const std::vector<Frame>& frames, int code)
{
    int count = 0;
    for (const Frame& f : frames) {
        count += f.size() > 2 && f[2] == code;
    }
    return count;
}

void SimTest::Inject(SimFaultKind kind, int code, bool persistent)
{
    SimFault fault;
    fault.kind = kind;
    fault.code = code;
    fault.persistent = persistent;
    m_sim.InjectFault(fault);
}

}  // namespace sim_test
