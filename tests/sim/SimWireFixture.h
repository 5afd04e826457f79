#pragma once
// A running simulator and a bare client on its line.

#include "SimTestSupport.h"
#include "SimTransmitter.h"

#include <gtest/gtest.h>
#include <memory>

class SimWire : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(m_sim.Start(&error)) << error;
        m_client = std::make_unique<simtest::RawClient>(m_sim.DevicePath());
        ASSERT_TRUE(m_client->IsOpen());
    }

    simtest::Bytes Exchange(const simtest::Bytes& request, std::size_t answerLength)
    {
        return m_client->Exchange(request, answerLength);
    }

    SimTransmitter m_sim;
    std::unique_ptr<simtest::RawClient> m_client;
};
