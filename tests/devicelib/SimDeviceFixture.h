#pragma once
// The library, opened the way the panel opens it, on a simulated
// transmitter reached through a link in a scratch directory.

#include "../sim/SimTestSupport.h"
#include "SimTransmitter.h"
#include "Talvex.h"

#include <gtest/gtest.h>

#include <chrono>

class SimDevice : public ::testing::Test {
protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(m_sim.Start(&error)) << error;
        ASSERT_EQ(Open(), 1) << "cannot open " << m_sim.DevicePath();
    }
    void TearDown() override
    {
        CloseComm();
        m_sim.Stop();
    }

    int Open() { return OpenCommPath(m_sim.DevicePath().c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr); }

    // The request bytes of the one frame the last call sent.
    simtest::Bytes OnlyFrame()
    {
        const auto frames = m_sim.ReceivedFrames();
        EXPECT_EQ(frames.size(), 1u);
        return frames.empty() ? simtest::Bytes{} : frames.back();
    }

    static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

    simtest::TempDir m_dir;
    SimTransmitter m_sim{SimOptions{.linkPath = m_dir.File("ttyTX")}};
};
