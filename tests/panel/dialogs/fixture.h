#pragma once
// The dialog tests' fixture: the panel's test support plus the library's port
// opened on the simulated transmitter, as the main window leaves it.

#include "support/PanelTestSupport.h"

#include "Talvex.h"

namespace dialogs_test {

using panel_test::Frame;
using panel_test::Msg;
using panel_test::RecordedMessage;

class DeviceDialogTest : public panel_test::PanelTest
{
protected:
    void SetUp() override
    {
        PanelTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(OpenCommPath(m_sim.DevicePath().c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr),
                  1);
        m_sim.ClearReceived();
    }
};

}  // namespace dialogs_test
