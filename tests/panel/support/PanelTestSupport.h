#pragma once
// Reusable pieces for the panel's tests: the one QApplication of the test
// program, a recorder that stands in for message boxes, a private working
// directory with a config.xml and a private settings directory, over what
// every test against the simulated transmitter has (SimLineTest.h).

#include "dialogkit/MessageBox.h"
#include "support/SimLineTest.h"

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

using namespace sim_test;

// Creates the test program's QApplication on first use (offscreen unless the
// environment says otherwise). Call it before constructing any widget.
void EnsureApplication();

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

// Base fixture: the QApplication, message recorder, private working and
// settings directories, over SimTest's simulated transmitter.
class PanelTest : public SimTest
{
protected:
    static void SetUpTestSuite() { EnsureApplication(); }

    MessageBoxRecorder m_messages;
    TempConfigHome m_configHome;
    TempWorkingDir m_workDir;
};

}  // namespace panel_test
