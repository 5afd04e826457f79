#pragma once
// Reusable pieces for the panel's tests: the one QApplication of the test
// program, a recorder that stands in for message boxes, a simulated
// transmitter on a pseudo-terminal, a private working directory with a
// config.xml, a private settings directory, and event pumping with a
// time-out.

#include "dialogkit/MessageBox.h"

#include <SimTransmitter.h>

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class QWidget;

namespace panel_test {

// Creates the test program's QApplication on first use (offscreen unless the
// environment says otherwise). Call it before constructing any widget.
void EnsureApplication();

// Processes events until `condition` holds or `timeout` has passed; returns
// the condition's final value.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
// Processes events for `duration`.
void PumpFor(std::chrono::milliseconds duration);

// One message box that would have been shown.
struct RecordedMessage {
    QString text;
    QString caption;
    QWidget* owner = nullptr;

    bool operator==(const RecordedMessage& other) const { return text == other.text && caption == other.caption; }
};
void PrintTo(const RecordedMessage& message, std::ostream* os);
// A message as tests expect it (owner not compared).
RecordedMessage Msg(const char* text, const char* caption = "Error");

// Records every message box instead of showing it, for its lifetime.
class MessageBoxRecorder
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<RecordedMessage>& Messages() const { return m_messages; }
    std::vector<QString> Texts() const;
    void Clear() { m_messages.clear(); }
    // Runs `action` while a box is "on screen", i.e. from inside the code
    // that shows it (the caller's state at that moment can be inspected).
    void OnMessage(std::function<void(const RecordedMessage&)> action) { m_onMessage = std::move(action); }

private:
    MessageBoxHook m_previous;
    std::vector<RecordedMessage> m_messages;
    std::function<void(const RecordedMessage&)> m_onMessage;
};

// Makes a private directory the current working directory for its lifetime
// (the schedule's config.xml is read from there) and restores the previous
// one afterwards.
class TempWorkingDir
{
public:
    // Writes `configXml` as config.xml unless it is empty.
    explicit TempWorkingDir(const QString& configXml = DefaultConfigXml());
    ~TempWorkingDir();
    TempWorkingDir(const TempWorkingDir&) = delete;
    TempWorkingDir& operator=(const TempWorkingDir&) = delete;

    QString Path() const { return m_dir.path(); }
    QString ConfigPath() const;
    // A schedule of five rows that are all "Nothing".
    static QString DefaultConfigXml();

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Points XDG_CONFIG_HOME (the settings store, where the password lives) at an
// empty private directory for its lifetime.
class TempConfigHome
{
public:
    TempConfigHome();
    ~TempConfigHome();
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious = false;
};

// A serial line that is there but never answers: a pseudo-terminal whose
// other end nobody reads. A probe on it costs one full failed transaction.
class DeadPort
{
public:
    DeadPort();
    ~DeadPort();
    DeadPort(const DeadPort&) = delete;
    DeadPort& operator=(const DeadPort&) = delete;

    bool IsValid() const { return m_master >= 0; }
    QString Path() const { return m_path; }
    // The bytes written to the port so far and not yet taken.
    std::vector<std::uint8_t> TakeWritten();

private:
    int m_master = -1;
    QString m_path;
};

using Frame = SimTransmitter::Frame;
// Readable form of frames for failure messages: "01 01 03 | 01 01 18".
std::string FramesToString(const std::vector<Frame>& frames);
// The frames whose command code (byte 2) is not in `codes`.
std::vector<Frame> FramesWithout(const std::vector<Frame>& frames, std::initializer_list<int> codes);

// Base fixture: application, message recorder, private working and settings
// directories, and a started simulated transmitter. The library's port is
// closed after every test.
class PanelTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override;
    void TearDown() override;

    // The simulator's device path, as the panel's --port would name it.
    QString SimPort() const { return QString::fromStdString(m_sim.DevicePath()); }
    // Makes the simulator answer "ER" to `code` (once, or until cleared).
    void Refuse(int code, bool persistent = false);
    // Makes the simulator stay silent to `code` (once, or until cleared).
    void Silence(int code, bool persistent = false);
    std::vector<Frame> Sent() const { return m_sim.ReceivedFrames(); }

    MessageBoxRecorder m_messages;
    TempConfigHome m_configHome;
    TempWorkingDir m_workDir;
    SimTransmitter m_sim;
};

}  // namespace panel_test
