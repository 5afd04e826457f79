// The talvex-sim program: what it prints, its options, that it cleans up
// its link when stopped by a signal, and its --control commands as a client
// of the library sees them.

#include "../support/SimProgram.h"
#include "SimTestSupport.h"
#include "Talvex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace std::chrono_literals;
using simtest::Bytes;

using simtest::SimProgram;

namespace {

bool IsLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

TEST(TalvexSimProgram, ServesOnItsLinkWithFaultsAndRemovesTheLinkOnSignals)
{
    for (int signal : {SIGTERM, SIGINT}) {
        simtest::TempDir dir;
        const std::string link = dir.File("tx");
        SimProgram sim(TALVEX_SIM_PATH, {"--link", link, "--fault", "refuse@1c", "--fault", "hangup=100@02,once"});
        const std::string out = sim.ReadUntil("link: " + link + "\n", 3000ms);
        ASSERT_NE(out.find("device: /dev/pts/"), std::string::npos) << out;
        ASSERT_TRUE(IsLink(link));
        {
            simtest::RawClient client(link);
            ASSERT_TRUE(client.IsOpen());
            EXPECT_EQ(client.Exchange({0x01, 0x01, 0x1C}, 2), simtest::kRefused);
            EXPECT_EQ(client.Exchange({0x01, 0x01, 0x1D}, 3), simtest::Ok({7}));
            ASSERT_TRUE(client.Write({0x01, 0x01, 0x02}));
            EXPECT_TRUE(client.SeesHangUp(1000ms));
        }
        // Back behind the same link after the hang-up.
        Bytes answer;
        for (int i = 0; i < 50 && answer.empty(); ++i) {
            std::this_thread::sleep_for(20ms);
            simtest::RawClient client(link);
            if (client.IsOpen())
                answer = client.Exchange({0x01, 0x01, 0x1E}, 3);
        }
        EXPECT_EQ(answer, simtest::Ok({15}));

        EXPECT_EQ(sim.Stop(signal, 3000ms), 0) << signal;
        EXPECT_FALSE(IsLink(link)) << "link left behind after signal " << signal;
    }
}

TEST(TalvexSimProgram, RejectsBadOptions)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--fault", "explode"}, "unknown fault: explode"},
        {{"--fault"}, "needs a value"},
        {{"--seed", "x"}, "bad seed"},
        {{"--frobnicate"}, "unknown argument"},
    };
    for (const Case& c : cases) {
        SimProgram sim(TALVEX_SIM_PATH, c.args);
        EXPECT_NE(sim.ReadUntil(c.message, 2000ms).find(c.message), std::string::npos) << c.message;
        EXPECT_EQ(sim.Wait(), 2) << c.message;
    }
    SimProgram help(TALVEX_SIM_PATH, {"--help"});
    EXPECT_NE(help.ReadUntil("--fault FAULT", 2000ms).find("Usage: talvex-sim"), std::string::npos);
    EXPECT_EQ(help.Wait(), 0);
}

TEST(TalvexSimProgram, ControlHoldsOneReadingAtATimeAndHangsUpOnCommand)
{
    simtest::TempDir dir;
    const std::string link = dir.File("tx");
    SimProgram sim(TALVEX_SIM_PATH, {"--control", "--link", link});
    ASSERT_NE(sim.ReadUntil("link: " + link + "\n", 3000ms).find("link: "), std::string::npos);
    const auto open = [&] {
        return OpenCommPath(link.c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr);
    };
    const auto read = [](int(TALVEX_CALL * get)(int*, int)) {
        int value = -1;
        return get(&value, TALVEX_REPLY_DELAY_MS) == 1 ? value : -1;
    };
    ASSERT_EQ(open(), 1);

    const std::pair<const char*, const char*> steps[] = {
        {"set swr 3.04", "ok"},
        {"set forward_power 10", "ok"},
        {"set temperature 80.5", "ok"},
        {"", "ok"},
        {"set level 70000", "error: level must be 0 to 65535"},
    };
    for (const auto& [command, answer] : steps)
        EXPECT_EQ(sim.Answer(command), answer) << command;
    EXPECT_EQ(read(GetStdyWaveRatio), 30);
    EXPECT_EQ(read(GetFwdPWR), 100) << "held although the transmitter is in standby";
    EXPECT_EQ(read(GetRvrPWR), 25) << "a quarter of the power is reflected at SWR 3.0";
    EXPECT_EQ(read(GetTemperature), 81);
    EXPECT_EQ(sim.Answer("clear swr"), "ok");
    EXPECT_LE(read(GetStdyWaveRatio), 13) << "moves by itself again";

    EXPECT_EQ(sim.Answer("hangup 300"), "ok");
    EXPECT_FALSE(IsLink(link)) << "the line is down once the hang-up is answered";
    int back = 0;
    for (int i = 0; i < 100 && back != 1; ++i) {
        std::this_thread::sleep_for(20ms);
        back = IsLink(link) ? open() : 0;
    }
    EXPECT_EQ(back, 1) << "the line did not come back";
    CloseComm();
    EXPECT_EQ(sim.Stop(SIGTERM, 3000ms), 0);
}
