// How the library reports each way the transmitter can misbehave, on a real
// terminal line, and that the exchange after a fault is clean again.

#include "SimDeviceFixture.h"

#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kNoReplyDelay = 0;

SimFault Fault(SimFaultKind kind, int code = kSimAllCommands)
{
    SimFault f;
    f.kind = kind;
    f.code = code;
    return f;
}

}  // namespace

TEST_F(SimDevice, RefusalFailsWithCodeOneAndLeavesOutputsAlone)
{
    m_sim.InjectFault(Fault(SimFaultKind::Refuse, 0x1C));
    int freq = 4242;
    const auto start = Clock::now();
    EXPECT_EQ(GetFMFreq(&freq, kNoReplyDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_EQ(freq, 4242);
    // "ER" is shorter than the 4 bytes asked for: it must end the read at
    // once, not run into the read guard.
    EXPECT_LT(Seconds(Clock::now() - start), 1.0);

    m_sim.InjectFault(Fault(SimFaultKind::Refuse, 0x19));
    char serial[15] = "stale";
    EXPECT_EQ(GetSerialNum(serial, sizeof serial, kNoReplyDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_STREQ(serial, "") << "the serial text is emptied on failure";

    m_sim.InjectFault(Fault(SimFaultKind::Refuse, 0x03));
    EXPECT_EQ(StartUp(kNoReplyDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_REFUSED);
    EXPECT_TRUE(m_sim.State().standby);
    EXPECT_EQ(IsOpen(), 1) << "a refusal does not close the port";
}

TEST_F(SimDevice, ShortAcknowledgementIsSuccess)
{
    m_sim.InjectFault(Fault(SimFaultKind::ShortAck, 0x1C));
    int freq = 0;
    const auto start = Clock::now();
    EXPECT_EQ(GetFMFreq(&freq, kNoReplyDelay), 1);
    EXPECT_EQ(GetLastCommError(), TALVEX_OK);
    EXPECT_EQ(freq, 1000);
    EXPECT_LT(Seconds(Clock::now() - start), 1.0) << "the short form is a short read, not a time-out";

    m_sim.InjectFault(Fault(SimFaultKind::ShortAck, 0x0E));
    EXPECT_EQ(SetFMFreq(1010, kNoReplyDelay), 1);
    EXPECT_EQ(m_sim.State().frequency, 1010);
}

TEST_F(SimDevice, MissingDataByteIsNoValidReply)
{
    SimFault drop = Fault(SimFaultKind::DropData, 0x1C);
    drop.bytes = 1;
    m_sim.InjectFault(drop);
    int freq = 77;
    EXPECT_EQ(GetFMFreq(&freq, kNoReplyDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    EXPECT_EQ(freq, 77);
    EXPECT_EQ(GetFMFreq(&freq, kNoReplyDelay), 1) << "the next exchange is clean";
    EXPECT_EQ(freq, 1000);
}

TEST_F(SimDevice, ExtraBytesAreIgnoredAndDoNotReachTheNextExchange)
{
    // The extra bytes spell "ER": read as the next answer they would fail it.
    SimFault extra = Fault(SimFaultKind::ExtraBytes, 0x1D);
    extra.bytes = 4;
    m_sim.InjectFault(extra);
    int v = 0;
    EXPECT_EQ(GetLineVol(&v, kNoReplyDelay), 1);
    EXPECT_EQ(v, 7);
    EXPECT_EQ(StartUp(kNoReplyDelay), 1);
    EXPECT_EQ(GetLastCommError(), TALVEX_OK);
    EXPECT_EQ(GetMicVol(&v, kNoReplyDelay), 1);
    EXPECT_EQ(v, 15);
}

TEST_F(SimDevice, GarbageIsNoValidReply)
{
    m_sim.InjectFault(Fault(SimFaultKind::Garbage, 0x18));
    unsigned char state = 0x99;
    EXPECT_EQ(GetDevState(&state, kNoReplyDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    EXPECT_EQ(state, 0x99);
    EXPECT_EQ(GetDevState(&state, kNoReplyDelay), 1);
    EXPECT_EQ(state, m_sim.State().StateByte());
}

TEST_F(SimDevice, DelayedAnswerWithinTheWindowSucceeds)
{
    SimFault delay = Fault(SimFaultKind::Delay, 0x1E);
    delay.delay = 400ms;
    m_sim.InjectFault(delay);
    int v = 0;
    const auto start = Clock::now();
    EXPECT_EQ(GetMicVol(&v, kNoReplyDelay), 1);
    EXPECT_EQ(v, 15);
    EXPECT_GE(Seconds(Clock::now() - start), 0.4);
}

// The two multi-second cases: nothing comes back, and the answer comes too
// late. Both end at the 2000 ms guard for the first reply byte.
TEST_F(SimDevice, SilenceFailsWithNoReplyAfterTheGuard)
{
    m_sim.InjectFault(Fault(SimFaultKind::Silent, 0x17));
    int t = 5;
    const auto start = Clock::now();
    EXPECT_EQ(GetTemperature(&t, kNoReplyDelay), 0);
    const double took = Seconds(Clock::now() - start);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    EXPECT_EQ(t, 5);
    EXPECT_GE(took, 2.0);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(IsOpen(), 1);
}

TEST_F(SimDevice, LateAnswerFailsAndIsNotTakenForTheNextReply)
{
    SimFault delay = Fault(SimFaultKind::Delay, 0x1C);
    delay.delay = 2300ms;
    m_sim.InjectFault(delay);
    int freq = 0;
    const auto start = Clock::now();
    EXPECT_EQ(GetFMFreq(&freq, kNoReplyDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    EXPECT_GE(Seconds(Clock::now() - start), 2.0);

    // Let the stale "OK 03 E8" land in the line, then ask something else.
    ASSERT_TRUE(m_sim.WaitUntilIdle(2000ms));
    std::this_thread::sleep_for(50ms);
    int vol = 0;
    EXPECT_EQ(GetLineVol(&vol, kNoReplyDelay), 1);
    EXPECT_EQ(vol, 7);
}

TEST_F(SimDevice, HangUpFailsPromptlyAndTheSamePathWorksAfterReopening)
{
    SimFault hang = Fault(SimFaultKind::HangUp, 0x18);
    hang.downFor = 300ms;
    m_sim.InjectFault(hang);
    unsigned char state = 0;
    const auto start = Clock::now();
    EXPECT_EQ(GetDevState(&state, kNoReplyDelay), 0);
    EXPECT_LT(Seconds(Clock::now() - start), 1.0) << "a dead line is not waited out";
    EXPECT_NE(GetLastCommError(), TALVEX_OK);
    EXPECT_EQ(IsOpen(), 1) << "a failed exchange never closes the port";

    // Still on the dead line: fails again without hanging.
    EXPECT_EQ(GetDevState(&state, kNoReplyDelay), 0);

    ASSERT_TRUE(m_sim.WaitForLine(2, 3000ms));
    EXPECT_EQ(CloseComm(), 1);
    ASSERT_EQ(Open(), 1) << "the link now points at the new line";
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY) << "set by the open";
    ASSERT_EQ(GetDevState(&state, kNoReplyDelay), 1);
    EXPECT_EQ(state, m_sim.State().StateByte());
}

TEST_F(SimDevice, ClosedPortFailsAtOnceAndSendsNothing)
{
    ASSERT_EQ(CloseComm(), 1);
    EXPECT_EQ(CloseComm(), 0);
    EXPECT_EQ(IsOpen(), 0);
    int v = 0;
    const auto start = Clock::now();
    EXPECT_EQ(GetFwdPWR(&v, kNoReplyDelay), 0);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NOT_OPEN);
    EXPECT_LT(Seconds(Clock::now() - start), 0.04) << "not even the 50 ms pause";
    EXPECT_FALSE(m_sim.WaitForFrames(1, 100ms));
}

TEST_F(SimDevice, OpenWhileOpenReplacesThePortAndMissingPathFails)
{
    EXPECT_EQ(Open(), 1);
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
    EXPECT_EQ(StartUp(kNoReplyDelay), 1);
    EXPECT_EQ(OpenCommPath(m_dir.File("absent").c_str(), 57600, 0, 8, 0, nullptr), 0);
    EXPECT_EQ(IsOpen(), 0) << "the earlier port was closed first";
    EXPECT_EQ(GetLastCommError(), TALVEX_E_NO_REPLY);
}
