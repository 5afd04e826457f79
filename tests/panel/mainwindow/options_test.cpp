// The program's command line.
#include "mainwindow/PanelOptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

namespace {

PanelOptions Parse(std::initializer_list<const char*> arguments)
{
    QStringList list;
    for (const char* a : arguments) {
        list.append(QString::fromUtf8(a));
    }
    return ParsePanelOptions(list);
}

TEST(PanelOptionsTest, PortsInOrderFlagsAndErrors)
{
    const PanelOptions options = Parse({"--port", "/dev/ttyUSB1", "--simulate", "--port=/dev/pts/7"});
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_EQ(options.ports, (QStringList{"/dev/ttyUSB1", "/dev/pts/7"}));
    EXPECT_TRUE(options.simulate);
    EXPECT_FALSE(options.help);
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_TRUE(Parse({"--user-data"}).userData);
    EXPECT_FALSE(options.userData || options.version);

    for (auto bad : {std::initializer_list<const char*>{"--port"}, {"--port="}, {"--verbose"}, {"/dev/ttyS0"}}) {
        EXPECT_FALSE(Parse(bad).error.isEmpty()) << *bad.begin();
    }
    EXPECT_EQ(Parse({"--port="}).error, QStringLiteral("--port needs a device"));
}

TEST(PanelOptionsTest, HelpListsEveryOptionAndWhereTheScheduleIs)
{
    const QString help = PanelUsage();
    for (const char* option : {"--port <DEVICE>", "--simulate", "--user-data", "--help", "--version", "config.xml"}) {
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option << "\n" << qPrintable(help);
    }
    EXPECT_EQ(PanelVersion(), QStringLiteral("TalvexPanel " TALVEX_VERSION "\n"));
}

// The menu's start: the schedule stays "config.xml in the current
// directory", and the data folder becomes that directory.
TEST(PanelOptionsTest, DataFolderIsCreatedEnteredAndSeededOnce)
{
    const QString before = QDir::currentPath();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString shipped = root.filePath(QStringLiteral("shipped.xml"));
    {
        QFile file(shipped);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<root/>");
    }
    ASSERT_TRUE(QFile::setPermissions(shipped, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString folder = root.filePath(QStringLiteral("home/.local/share/Talvex"));

    QString error;
    ASSERT_TRUE(EnterDataFolder(folder, shipped, &error)) << qPrintable(error);
    EXPECT_EQ(QDir::currentPath(), QDir(folder).canonicalPath());
    QFile seeded(QStringLiteral("config.xml"));
    ASSERT_TRUE(seeded.open(QIODevice::ReadWrite)) << "the operator's copy must be writable";
    EXPECT_EQ(seeded.readAll(), QByteArray("<root/>"));
    seeded.resize(0);
    seeded.write("<root>mine</root>");
    seeded.close();

    // A later start keeps the operator's schedule.
    ASSERT_TRUE(QDir::setCurrent(before));
    ASSERT_TRUE(EnterDataFolder(folder, shipped, &error));
    QFile kept(QDir(folder).filePath(QStringLiteral("config.xml")));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("<root>mine</root>"));

    // Without a shipped schedule the folder is still made; a folder that
    // cannot be made is an error.
    const QString bare = root.filePath(QStringLiteral("bare"));
    EXPECT_TRUE(EnterDataFolder(bare, root.filePath(QStringLiteral("missing.xml")), &error));
    EXPECT_FALSE(QFile::exists(QDir(bare).filePath(QStringLiteral("config.xml"))));
    EXPECT_FALSE(EnterDataFolder(shipped + QStringLiteral("/sub"), shipped, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("data folder")));
    ASSERT_TRUE(QDir::setCurrent(before));
}

// The program itself: --help and --version need no display, and a port the
// user named that cannot be opened is explained on stderr.
TEST(PanelProgramTest, AnswersWithoutADisplayAndSaysWhyAGivenPortFails)
{
    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    headless.remove(QStringLiteral("DISPLAY"));
    headless.remove(QStringLiteral("WAYLAND_DISPLAY"));
    headless.remove(QStringLiteral("QT_QPA_PLATFORM"));
    for (const char* option : {"--help", "--version"}) {
        QProcess panel;
        panel.setProcessEnvironment(headless);
        panel.start(QStringLiteral(TALVEXPANEL_PATH), {QLatin1String(option)});
        ASSERT_TRUE(panel.waitForFinished(20000)) << option;
        EXPECT_EQ(panel.exitCode(), 0) << option;
        EXPECT_TRUE(panel.readAllStandardOutput().startsWith(option == std::string("--help") ? "Usage: TalvexPanel"
                                                                                             : "TalvexPanel "));
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("ttyUSB7"));
    QProcess panel;
    panel.setWorkingDirectory(dir.path());
    QProcessEnvironment offscreen = QProcessEnvironment::systemEnvironment();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    panel.setProcessEnvironment(offscreen);
    panel.start(QStringLiteral(TALVEXPANEL_PATH), {QStringLiteral("--port"), missing});
    const QByteArray expected = "TalvexPanel: cannot open port " + missing.toLocal8Bit() + ": no such device\n";
    QByteArray err;
    for (int i = 0; i < 100 && !err.contains(expected); ++i) {
        panel.waitForReadyRead(200);
        err += panel.readAllStandardError();
    }
    // It then reports the missing transmitter in its window and waits there.
    panel.kill();
    panel.waitForFinished(5000);
    EXPECT_TRUE(err.contains(expected)) << err.constData();
}

}  // namespace
