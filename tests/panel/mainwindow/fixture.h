#pragma once
// The main window against the simulated transmitter.

#include "support/PanelTestSupport.h"

#include "dialogkit/PanelMessage.h"
#include "support/TransmitterDlgTestSeam.h"

#include <Talvex.h>

#include <QCoreApplication>
#include <memory>

namespace panel_test {

class MainWindowTest : public PanelTest
{
protected:
    void TearDown() override
    {
        m_dlg.reset();
        PanelTest::TearDown();
    }

    // A main window on `ports` (the simulator when none are given).
    std::unique_ptr<CTransmitterDlgTestSeam> MakeWindow(QStringList ports = {})
    {
        PanelOptions options;
        options.ports = ports.isEmpty() ? QStringList{SimPort()} : ports;
        return std::make_unique<CTransmitterDlgTestSeam>(options);
    }

    // Opens the main window on the simulator: connects, reads the device and
    // starts the threads. Fails the test when initialisation fails.
    CTransmitterDlgTestSeam& Open()
    {
        m_dlg = MakeWindow();
        EXPECT_TRUE(m_dlg->OnInitDialog());
        return *m_dlg;
    }

    // Opens the window, then stops the pollers and forgets what they and the
    // start-up sent, so that the line carries only what a test does.
    CTransmitterDlgTestSeam& OpenQuiet()
    {
        CTransmitterDlgTestSeam& dlg = Open();
        dlg.m_rtVolPoller.Stop();
        dlg.m_statusPoller.Stop();
        QCoreApplication::sendPostedEvents();
        m_sim.ClearReceived();
        m_messages.Clear();
        return dlg;
    }

    // Sets the simulator's state (before the window opens).
    template <typename Change>
    void ChangeState(Change change)
    {
        SimState state = m_sim.State();
        change(state);
        m_sim.SetState(state);
    }

    std::unique_ptr<CTransmitterDlgTestSeam> m_dlg;
};

inline Frame F(std::initializer_list<int> bytes)
{
    Frame frame;
    for (int b : bytes) {
        frame.push_back(static_cast<std::uint8_t>(b));
    }
    return frame;
}

}  // namespace panel_test
