#include "PanelTestSupport.h"

#include <Talvex.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace panel_test {

namespace {

// Ends the test program's QApplication after the last test, so that the
// libraries it brought up (fonts, platform plugin) are shut down in order.
class ApplicationEnvironment : public ::testing::Environment
{
public:
    void TearDown() override { delete QCoreApplication::instance(); }
};

[[maybe_unused]] ::testing::Environment* const g_applicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

void EnsureApplication()
{
    if (QCoreApplication::instance()) {
        return;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "panel_tests";
    static char* argv[] = {name, nullptr};
    // Lives for the whole test program; deleted after the last test.
    new QApplication(argc, argv);
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

void PrintTo(const RecordedMessage& message, std::ostream* os)
{
    *os << '"' << message.text.toStdString() << "\" (\"" << message.caption.toStdString() << "\")";
}

RecordedMessage Msg(const char* text, const char* caption)
{
    return RecordedMessage{QString::fromUtf8(text), QString::fromUtf8(caption), nullptr};
}

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = SetMessageBoxHook([this](QWidget* owner, const QString& text, const QString& caption) {
        m_messages.push_back(RecordedMessage{text, caption, owner});
        if (m_onMessage) {
            m_onMessage(m_messages.back());
        }
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHook(std::move(m_previous)); }

std::vector<QString> MessageBoxRecorder::Texts() const
{
    std::vector<QString> texts;
    for (const RecordedMessage& m : m_messages) {
        texts.push_back(m.text);
    }
    return texts;
}

TempWorkingDir::TempWorkingDir(const QString& configXml) : m_previous(QDir::currentPath())
{
    if (!configXml.isEmpty()) {
        QFile file(ConfigPath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(configXml.toUtf8());
        }
    }
    QDir::setCurrent(m_dir.path());
}

TempWorkingDir::~TempWorkingDir() { QDir::setCurrent(m_previous); }

QString TempWorkingDir::ConfigPath() const { return m_dir.filePath(QStringLiteral("config.xml")); }

QString TempWorkingDir::DefaultConfigXml()
{
    QString xml = QStringLiteral("<?xml version=\"1.0\"?>\n<root>\n");
    for (int row = 0; row < 5; ++row) {
        xml +=
            QStringLiteral("\t<Task Year=\"2024\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n");
    }
    xml += QStringLiteral("</root>\n");
    return xml;
}

TempConfigHome::TempConfigHome()
    : m_previous(qgetenv("XDG_CONFIG_HOME")), m_hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TempConfigHome::~TempConfigHome()
{
    if (m_hadPrevious) {
        qputenv("XDG_CONFIG_HOME", m_previous);
    } else {
        qunsetenv("XDG_CONFIG_HOME");
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

void PanelTest::SetUp()
{
    std::string error;
    ASSERT_TRUE(m_sim.Start(&error)) << error;
}

void PanelTest::TearDown()
{
    CloseComm();
    m_sim.Stop();
}

void PanelTest::Refuse(int code, bool persistent)
{
    SimFault fault;
    fault.kind = SimFaultKind::Refuse;
    fault.code = code;
    fault.persistent = persistent;
    m_sim.InjectFault(fault);
}

void PanelTest::Silence(int code, bool persistent)
{
    SimFault fault;
    fault.kind = SimFaultKind::Silent;
    fault.code = code;
    fault.persistent = persistent;
    m_sim.InjectFault(fault);
}

}  // namespace panel_test
