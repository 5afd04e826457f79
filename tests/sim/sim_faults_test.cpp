// Faults the simulator commits on request, as they appear on the line.

#include "SimWireFixture.h"

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using simtest::Bytes;
using simtest::kRefused;
using simtest::Ok;
using namespace std::chrono_literals;

namespace {

const Bytes kReadFreq{0x01, 0x01, 0x1C};
const Bytes kStartUp{0x01, 0x01, 0x03};

SimFault Fault(SimFaultKind kind, int code = kSimAllCommands, bool persistent = false)
{
    SimFault f;
    f.kind = kind;
    f.code = code;
    f.persistent = persistent;
    return f;
}

}  // namespace

TEST_F(SimWire, RefuseAnswersErAndLeavesTheStateAlone)
{
    m_sim.InjectFault(Fault(SimFaultKind::Refuse));
    EXPECT_EQ(Exchange(kStartUp, 2), kRefused);
    EXPECT_TRUE(m_sim.State().standby);
    EXPECT_EQ(Exchange(kStartUp, 2), Ok()) << "a one-shot fault is used up";
    EXPECT_FALSE(m_sim.State().standby);
}

TEST_F(SimWire, SilentSendsNothing)
{
    m_sim.InjectFault(Fault(SimFaultKind::Silent));
    ASSERT_TRUE(m_client->Write(kReadFreq));
    EXPECT_TRUE(m_client->Read(1, 300ms).empty());
    EXPECT_TRUE(m_sim.WaitForFrames(1, 100ms)) << "the request is still recorded";
}

TEST_F(SimWire, ShortAckDropDataExtraAndGarbageReshapeTheAnswer)
{
    m_sim.InjectFault(Fault(SimFaultKind::ShortAck));
    EXPECT_EQ(Exchange(kReadFreq, 3), Bytes({'K', 0x03, 0xE8}));

    SimFault drop = Fault(SimFaultKind::DropData);
    drop.bytes = 1;
    m_sim.InjectFault(drop);
    EXPECT_EQ(Exchange(kReadFreq, 4), Bytes({'O', 'K', 0x03}));

    SimFault extra = Fault(SimFaultKind::ExtraBytes);
    extra.bytes = 3;
    m_sim.InjectFault(extra);
    EXPECT_EQ(Exchange(kReadFreq, 7), Bytes({'O', 'K', 0x03, 0xE8, 'E', 'R', 'E'}));

    m_sim.InjectFault(Fault(SimFaultKind::Garbage));
    const Bytes garbage = Exchange(kReadFreq, 4);
    ASSERT_EQ(garbage.size(), 4u) << "as long as the real answer";
    EXPECT_NE(garbage[0], 'O');
    EXPECT_NE(garbage[0], 'K');
    EXPECT_NE(garbage[0], 'E');
    EXPECT_TRUE(m_client->Read(1, 100ms).empty());
}

TEST_F(SimWire, DelayHoldsTheAnswerBack)
{
    SimFault delay = Fault(SimFaultKind::Delay);
    delay.delay = 300ms;
    m_sim.InjectFault(delay);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_client->Write(kReadFreq));
    EXPECT_TRUE(m_client->Read(1, 150ms).empty()) << "too early";
    EXPECT_EQ(m_client->Read(4, 1000ms), Ok({0x03, 0xE8}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);
    EXPECT_TRUE(m_sim.WaitUntilIdle(100ms));
}

TEST_F(SimWire, AnswersKeepTheOrderOfTheirRequestsBehindADelay)
{
    SimFault delay = Fault(SimFaultKind::Delay, 0x1C);
    delay.delay = 200ms;
    m_sim.InjectFault(delay);
    ASSERT_TRUE(m_client->Write(kReadFreq));
    ASSERT_TRUE(m_sim.WaitForFrames(1, 500ms));
    ASSERT_TRUE(m_client->Write({0x01, 0x01, 0x1D}));
    EXPECT_EQ(m_client->Read(7, 1000ms), Bytes({'O', 'K', 0x03, 0xE8, 'O', 'K', 7}));
}

TEST_F(SimWire, CodeSpecificFaultWinsAndPersistentFaultStays)
{
    m_sim.InjectFault(Fault(SimFaultKind::ShortAck, kSimAllCommands, true));
    m_sim.InjectFault(Fault(SimFaultKind::Refuse, 0x1C, true));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Exchange(kReadFreq, 2), kRefused);
        EXPECT_EQ(Exchange({0x01, 0x01, 0x1D}, 2), Bytes({'K', 7}));
    }
    m_sim.ClearFaults();
    EXPECT_EQ(Exchange(kReadFreq, 4), Ok({0x03, 0xE8}));
}

TEST(SimHangUp, DropsTheLineAndComesBackBehindTheSameLink)
{
    simtest::TempDir dir;
    SimTransmitter sim({.linkPath = dir.File("tx")});
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(sim.DevicePath(), dir.File("tx"));
    EXPECT_EQ(sim.LineGeneration(), 1u);

    simtest::RawClient client(sim.DevicePath());
    ASSERT_TRUE(client.IsOpen());
    SimFault hang;
    hang.kind = SimFaultKind::HangUp;
    hang.downFor = 500ms;
    sim.InjectFault(hang);
    ASSERT_TRUE(client.Write(kReadFreq));
    EXPECT_TRUE(client.SeesHangUp(500ms));
    EXPECT_FALSE(sim.IsLineUp());
    EXPECT_TRUE(sim.PtyPath().empty());
    // While down the link is gone rather than pointing at a terminal number
    // that another process may be given meanwhile.
    struct stat st {};
    EXPECT_NE(::lstat(dir.File("tx").c_str(), &st), 0);

    ASSERT_TRUE(sim.WaitForLine(2, 2000ms));
    char target[256] = {};
    ASSERT_GT(::readlink(dir.File("tx").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sim.PtyPath());

    simtest::RawClient again(sim.DevicePath());
    ASSERT_TRUE(again.IsOpen());
    EXPECT_EQ(again.Exchange(kReadFreq, 4), Ok({0x03, 0xE8}));
}

TEST(SimHangUp, StaysDownUntilToldToComeBack)
{
    SimTransmitter sim;
    ASSERT_TRUE(sim.Start());
    sim.HangUp(-1ms);
    for (int i = 0; i < 100 && sim.IsLineUp(); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(sim.IsLineUp());
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(sim.IsLineUp());
    EXPECT_TRUE(sim.PtyPath().empty());
    EXPECT_EQ(sim.LineGeneration(), 1u);
    sim.ComeBack();
    ASSERT_TRUE(sim.WaitForLine(2, 2000ms));
    simtest::RawClient client(sim.DevicePath());
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(client.Exchange({0x01, 0x01, 0x1D}, 3), Ok({7}));
}

TEST(SimFaultOption, ReadsEveryKindWithItsNumberCodeAndLifetime)
{
    auto f = ParseSimFault("refuse");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, SimFaultKind::Refuse);
    EXPECT_EQ(f->code, kSimAllCommands);
    EXPECT_TRUE(f->persistent);

    f = ParseSimFault("delay=250@0x1c,once");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, SimFaultKind::Delay);
    EXPECT_EQ(f->delay, 250ms);
    EXPECT_EQ(f->code, 0x1C);
    EXPECT_FALSE(f->persistent);

    f = ParseSimFault("hangup=1500@18");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->downFor, 1500ms);
    EXPECT_EQ(f->code, 0x18);

    f = ParseSimFault("extra=4");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, SimFaultKind::ExtraBytes);
    EXPECT_EQ(f->bytes, 4);

    for (const char* name : {"silent", "short", "drop", "garbage"}) {
        f = ParseSimFault(name);
        ASSERT_TRUE(f) << name;
        EXPECT_EQ(SimFaultKindName(f->kind), name);
    }
}

TEST(SimFaultOption, RejectsWhatItCannotRead)
{
    for (const char* bad :
         {"", "explode", "refuse=3", "delay=-5", "delay=abc", "drop@", "drop@zz", "drop@100", "short,twice"}) {
        std::string error;
        EXPECT_FALSE(ParseSimFault(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}
