// The status and level pollers, as the core runs them: what they read, in
// which order, and that nothing outlives a stop.
#include "core/TransmitterCore.h"
#include "support/SimLineTest.h"

#include <map>

namespace sim_test {
namespace {

class PollersTest : public SimTest
{
protected:
    // A started core on the simulator, recording the latest reading of each kind.
    CTransmitterCore& Start()
    {
        m_core = std::make_unique<CTransmitterCore>(QStringList{SimPort()});
        m_core->EnumSerialPorts();
        EXPECT_TRUE(m_core->ConnectDevice());
        QObject::connect(m_core.get(), &CTransmitterCore::readingArrived,
                         [this](ReadingKind kind, int value) { m_latest[kind] = value; });
        m_core->Start();
        return *m_core;
    }
    void TearDown() override
    {
        m_core.reset();
        SimTest::TearDown();
    }
    bool Has(ReadingKind kind) const { return m_latest.count(kind) != 0; }

    std::unique_ptr<CTransmitterCore> m_core;
    std::map<ReadingKind, int> m_latest;
};

TEST_F(PollersTest, EveryReadingReachesTheCoresThreadAsTheTransmitterGaveIt)
{
    ChangeState([](SimState& s) {
        s.frequency = 955;
        s.lineVolume = 4;
        s.micVolume = 12;
        s.mono = true;
    });
    SimReadings readings;
    readings.forwardPower = 123;
    readings.swr = 14;
    readings.temperature = 41;
    readings.level = 1000;
    m_sim.SetReadings(readings);
    Start();

    ASSERT_TRUE(PumpUntil([&] { return Has(ReadingKind::Temperature) && Has(ReadingKind::Level); }));
    const std::map<ReadingKind, int> expected = {
        {ReadingKind::Level, 1000},
        {ReadingKind::Mono, TALVEX_STATE_MONO},
        {ReadingKind::Frequency, 955},
        {ReadingKind::ForwardPower, 123},
        {ReadingKind::Swr, 14},
        {ReadingKind::LineVolume, 4},
        {ReadingKind::MicVolume, 12},
        {ReadingKind::Temperature, 41},
        {ReadingKind::State, m_sim.State().StateByte()},
    };
    EXPECT_EQ(m_latest, expected);
}

TEST_F(PollersTest, TheStatusCycleEndsAtTheFirstFailureAndReadsOnlyTheStateInStandby)
{
    Refuse(0x14, true);  // forward power
    CTransmitterCore& core = Start();
    core.findChild<CDevicePoller*>(QStringLiteral("level"))->Stop();
    m_sim.ClearReceived();
    ASSERT_TRUE(PumpUntil([&] { return CountCode(Sent(), 0x14) >= 2; }));
    std::vector<Frame> sent = Sent();
    EXPECT_GE(CountCode(sent, 0x18), 2);
    EXPECT_GE(CountCode(sent, 0x1C), 2);
    for (int skipped : {0x16, 0x1D, 0x1E, 0x17}) {
        EXPECT_EQ(CountCode(sent, skipped), 0) << "code " << skipped << " in " << FramesToString(sent);
    }
    ASSERT_TRUE(PumpUntil([&] { return Has(ReadingKind::Failure); }));
    EXPECT_EQ(m_latest[ReadingKind::Failure], TALVEX_E_REFUSED);

    m_sim.ClearFaults();
    ChangeState([](SimState& s) { s.standby = true; });
    m_sim.ClearReceived();
    ASSERT_TRUE(PumpUntil([&] { return CountCode(Sent(), 0x18) >= 2; }));
    EXPECT_EQ(FramesToString(FramesWithout(Sent(), {0x18})), "(none)");
}

TEST_F(PollersTest, AStoppedCoreReportsNothingEvenWhatWasQueuedBeforeTheStop)
{
    CTransmitterCore& core = Start();
    ASSERT_TRUE(m_sim.WaitForFrames(3, std::chrono::milliseconds(2000)));
    core.Stop();  // readings of those frames are still queued
    EXPECT_FALSE(core.IsPolling());
    EXPECT_EQ(IsOpen(), 0);
    m_latest.clear();
    PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(m_latest.empty());
}

}  // namespace
}  // namespace sim_test
