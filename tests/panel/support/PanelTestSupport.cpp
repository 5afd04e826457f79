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

void EnsureApplication()
{
    DeleteApplicationAfterTheLastTest();
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

}  // namespace panel_test
