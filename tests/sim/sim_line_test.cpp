// The simulator's line handling: recording, finding frames in noise, idle
// behaviour and the link's life.

#include "SimWireFixture.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using simtest::Bytes;
using simtest::Ok;
using namespace std::chrono_literals;

TEST_F(SimWire, RecordsEveryFrameExactlyAndInOrder)
{
    const Bytes frames[] = {
        {0x01, 0x03, 0x0E, 0x03, 0xE8}, {0x01, 0x02, 0x11, 0x64}, {0x01, 0x01, 0x18}, {0x01, 0x01, 0x77}};
    for (const Bytes& f : frames)
        ASSERT_EQ(Exchange(f, 2).size(), 2u);
    ASSERT_TRUE(m_sim.WaitForFrames(4, 500ms));
    const auto got = m_sim.ReceivedFrames();
    ASSERT_EQ(got.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(got[i], frames[i]);

    m_sim.ClearReceived();
    EXPECT_TRUE(m_sim.ReceivedFrames().empty());
    EXPECT_FALSE(m_sim.WaitForFrames(1, 100ms));
}

TEST(SimRecording, OffKeepsNoFramesButStillCountsThem)
{
    SimOptions options;
    options.recordFrames = false;
    SimTransmitter sim(options);
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    simtest::RawClient client(sim.DevicePath());
    ASSERT_TRUE(client.IsOpen());
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(client.Exchange({0x01, 0x01, 0x18}, 3).size(), 3u);
    EXPECT_TRUE(sim.WaitForFrames(3, 500ms));
    EXPECT_TRUE(sim.ReceivedFrames().empty());
    sim.ClearReceived();
    EXPECT_FALSE(sim.WaitForFrames(1, 100ms));
}

TEST_F(SimWire, FindsTheFrameAfterNoise)
{
    // Noise without a lead byte, then a lead byte with an impossible count.
    ASSERT_TRUE(m_client->Write({0xFF, 0x00, 0x4F, 0x01, 0x07, 0x01, 0x01, 0x1D}));
    EXPECT_EQ(m_client->Read(3, 1000ms), Ok({7}));
    ASSERT_TRUE(m_sim.WaitForFrames(1, 100ms));
    EXPECT_EQ(m_sim.ReceivedFrames().front(), Bytes({0x01, 0x01, 0x1D}));
    EXPECT_EQ(m_sim.DiscardedBytes(), 5u);
    EXPECT_EQ(m_sim.ReceivedFrames().size(), 1u);
}

TEST_F(SimWire, SeveralFramesInOneWriteAreAllAnswered)
{
    ASSERT_TRUE(m_client->Write({0x01, 0x01, 0x1D, 0x01, 0x01, 0x1E}));
    EXPECT_EQ(m_client->Read(6, 1000ms), Bytes({'O', 'K', 7, 'O', 'K', 15}));
}

TEST_F(SimWire, AFrameSplitAcrossWritesIsJoined)
{
    ASSERT_TRUE(m_client->Write({0x01, 0x03, 0x0E}));
    std::this_thread::sleep_for(30ms);
    ASSERT_TRUE(m_client->Write({0x03, 0x66}));
    EXPECT_EQ(m_client->Read(2, 1000ms), Ok());
    EXPECT_EQ(m_sim.State().frequency, 870);
}

// A frame cut short must not swallow the start of the next request.
TEST_F(SimWire, AStalePartialFrameIsDropped)
{
    ASSERT_TRUE(m_client->Write({0x01, 0x03, 0x0E, 0x03}));
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(Exchange({0x01, 0x01, 0x1D}, 3), Ok({7}));
    EXPECT_EQ(m_sim.State().frequency, 1000);
}

// With no client, and after a client has come and gone, the simulator must
// sit idle rather than spin on the line.
TEST(SimIdle, UsesNoNoticeableProcessorTime)
{
    SimTransmitter sim;
    ASSERT_TRUE(sim.Start());
    {
        simtest::RawClient client(sim.DevicePath());
        ASSERT_TRUE(client.IsOpen());
        EXPECT_EQ(client.Exchange({0x01, 0x01, 0x1D}, 3), Ok({7}));
    }
    auto cpu = [] {
        rusage u{};
        getrusage(RUSAGE_SELF, &u);
        return std::chrono::seconds(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               std::chrono::microseconds(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
    };
    const auto before = cpu();
    std::this_thread::sleep_for(600ms);
    EXPECT_LT(cpu() - before, 120ms);
}

TEST(SimLink, IsPlacedOnStartAndRemovedOnStop)
{
    simtest::TempDir dir;
    const std::string link = dir.File("tx");
    {
        SimTransmitter sim({.linkPath = link});
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
        struct stat st {};
        ASSERT_EQ(::lstat(link.c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        simtest::RawClient client(link);
        EXPECT_EQ(client.Exchange({0x01, 0x01, 0x1E}, 3), Ok({15}));
        sim.Stop();
        EXPECT_NE(::lstat(link.c_str(), &st), 0);
        EXPECT_FALSE(sim.IsRunning());
    }
    // A stale link left by an earlier run is replaced.
    ASSERT_EQ(::symlink("/nonexistent", link.c_str()), 0);
    SimTransmitter sim({.linkPath = link});
    ASSERT_TRUE(sim.Start());
    simtest::RawClient client(link);
    EXPECT_TRUE(client.IsOpen());
}

TEST(SimLink, StartFailsWhenTheLinkCannotBePlaced)
{
    SimTransmitter sim({.linkPath = "/nonexistent-dir/for/sure/tx"});
    std::string error;
    EXPECT_FALSE(sim.Start(&error));
    EXPECT_NE(error.find("link"), std::string::npos) << error;
    EXPECT_FALSE(sim.IsRunning());
}
