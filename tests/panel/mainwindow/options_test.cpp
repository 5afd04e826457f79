// The program's command line.
#include "mainwindow/PanelOptions.h"

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

TEST(PanelOptionsTest, PortsInOrderFlagsAndErrors)
{
    const PanelOptions options = Parse({"--port", "/dev/ttyUSB1", "--simulate", "--port=/dev/pts/7"});
    EXPECT_TRUE(options.error.isEmpty());
    EXPECT_EQ(options.ports, (QStringList{"/dev/ttyUSB1", "/dev/pts/7"}));
    EXPECT_TRUE(options.simulate);
    EXPECT_FALSE(options.help);
    EXPECT_TRUE(Parse({"--help"}).help);

    for (auto bad : {std::initializer_list<const char*>{"--port"}, {"--port="}, {"--verbose"}, {"/dev/ttyS0"}}) {
        EXPECT_FALSE(Parse(bad).error.isEmpty()) << *bad.begin();
    }
}

}  // namespace
