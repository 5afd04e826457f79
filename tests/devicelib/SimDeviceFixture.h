#pragma once
// The library, opened the way the panel opens it, on a simulated
// transmitter reached through a link in a scratch directory. With
// TALVEX_TEST_PORT set to "rfc2217" or "socket", the same tests reach it
// through a real ser2net on the loopback instead, by that kind of URL.

#include "../sim/SimTestSupport.h"
#include "../support/Ser2Net.h"
#include "SimTransmitter.h"
#include "Talvex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string_view>

class SimDevice : public ::testing::Test
{
protected:
    using Clock = std::chrono::steady_clock;

    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(m_sim.Start(&error)) << error;
        if (!m_portKind.empty()) {
            ASSERT_TRUE(m_ser2net.Start(m_dir.Path(), m_sim.LinkPath(), &error)) << error;
        }
        ASSERT_EQ(Open(), 1) << "cannot open " << PortName();
    }
    void TearDown() override
    {
        CloseComm();
        m_ser2net.Stop();
        m_sim.Stop();
    }

    bool Networked() const { return !m_portKind.empty(); }
    std::string PortName() const
    {
        if (m_portKind == "rfc2217")
            return m_ser2net.TelnetUrl();
        if (m_portKind == "socket")
            return m_ser2net.RawUrl();
        return m_sim.DevicePath();
    }
    int Open()
    {
        const auto open = [this] {
            return OpenCommPath(PortName().c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr);
        };
        if (!Networked())
            return open();
        // ser2net lets the line go a little after a connection closes, and
        // turns a new one away until then (an open over Telnet then fails
        // at once): wait for that, and try again within the same bound, as
        // a client that reconnects at once has to.
        if (!IsOpen())
            m_ser2net.WaitUntilReleased(m_sim.PtyPath(), std::chrono::seconds(2));
        int result = 0;
        nettest::WaitFor([&] { return (result = open()) == 1; }, std::chrono::seconds(2));
        return result;
    }

    // The request bytes of the one frame the last call sent.
    simtest::Bytes OnlyFrame()
    {
        const auto frames = m_sim.ReceivedFrames();
        EXPECT_EQ(frames.size(), 1u);
        return frames.empty() ? simtest::Bytes{} : frames.back();
    }

    static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

    static std::string PortKind()
    {
        const char* kind = std::getenv("TALVEX_TEST_PORT");
        return kind != nullptr ? kind : "";
    }

    simtest::TempDir m_dir;
    const std::string m_portKind = PortKind();
    nettest::Ser2Net m_ser2net;
    SimTransmitter m_sim{SimOptions{.linkPath = m_dir.File("ttyTX")}};
};
