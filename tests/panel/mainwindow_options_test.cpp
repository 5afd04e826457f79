// The program's command line.
#include "PanelOptions.h"

#include <gtest/gtest.h>

namespace {

PanelOptions Parse(std::initializer_list<const char*> arguments)
{
    QStringList list;
    for (const char* a : arguments) {
        list.append(QString::fromUtf8(a));
    }
    return ParsePanelOptions(list);
}

TEST(PanelOptionsTest, PortsAreKeptInTheOrderGiven)
{
    const PanelOptions options = Parse({"--port", "/dev/ttyUSB1", "--port=/dev/pts/7", "--port", "/dev/ttyS0"});
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_EQ(options.ports, (QStringList{"/dev/ttyUSB1", "/dev/pts/7", "/dev/ttyS0"}));
    EXPECT_FALSE(options.simulate);
    EXPECT_FALSE(options.help);
}

TEST(PanelOptionsTest, SimulateAndHelpAreFlags)
{
    EXPECT_TRUE(Parse({"--simulate"}).simulate);
    EXPECT_TRUE(Parse({"--help"}).help);
    const PanelOptions none = Parse({});
    EXPECT_TRUE(none.ports.isEmpty());
    EXPECT_FALSE(none.simulate || none.help);
    EXPECT_TRUE(none.error.isEmpty());
}

TEST(PanelOptionsTest, AnythingElseIsAnError)
{
    EXPECT_FALSE(Parse({"--port"}).error.isEmpty());
    EXPECT_FALSE(Parse({"--port="}).error.isEmpty());
    EXPECT_FALSE(Parse({"--simulate", "--verbose"}).error.isEmpty());
    EXPECT_FALSE(Parse({"/dev/ttyS0"}).error.isEmpty());
    EXPECT_TRUE(PanelUsage().contains(QStringLiteral("--port DEVICE")));
}

}  // namespace
