#pragma once
// The main window against the simulated transmitter, reached as the operator
// reaches it: through its controls.

#include "support/PanelTestSupport.h"

#include "mainwindow/TransmitterDlg.h"

#include <Talvex.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>

namespace panel_test {

constexpr ColorRef kIdle = Rgb(50, 50, 50);
constexpr ColorRef kActive = Rgb(255, 75, 0);

inline ColorRef Face(const CImageButton& button) { return button.GetStateColor(IBC_BK_NORMAL); }

// The control with `id` of `dlg`, as the class it is.
template <typename Control>
Control& Get(const CTransmitterDlg& dlg, int id)
{
    auto* control = qobject_cast<Control*>(dlg.Control(id));
    EXPECT_NE(control, nullptr) << "control " << id;
    return *control;
}
inline CImageButton& Button(const CTransmitterDlg& dlg, int id) { return Get<CImageButton>(dlg, id); }
inline CSkinSlider& Slider(const CTransmitterDlg& dlg, int id) { return Get<CSkinSlider>(dlg, id); }
inline CSegmentDisplay& Display(const CTransmitterDlg& dlg, int id) { return Get<CSegmentDisplay>(dlg, id); }

// Moves the thumb to `position` and clicks it there: a thumb release at that
// position, as after a drag.
inline void ReleaseAt(CSkinSlider& slider, int position)
{
    slider.SetPos(position);
    const QPoint thumb = slider.ThumbRect().center();
    QTest::mousePress(&slider, Qt::LeftButton, {}, thumb);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, thumb);
}

class MainWindowTest : public PanelTest
{
protected:
    void TearDown() override
    {
        m_dlg.reset();
        PanelTest::TearDown();
    }

    // A main window on `ports` (the simulator when none are given).
    std::unique_ptr<CTransmitterDlg> MakeWindow(QStringList ports = {})
    {
        PanelOptions options;
        options.ports = ports.isEmpty() ? QStringList{SimPort()} : ports;
        return std::make_unique<CTransmitterDlg>(options);
    }

    // Opens the main window on the simulator: connects, reads the device and
    // starts the threads. Fails the test when initialisation fails.
    CTransmitterDlg& Open()
    {
        m_dlg = MakeWindow();
        EXPECT_TRUE(m_dlg->OnInitDialog());
        return *m_dlg;
    }

    // Opens the window, then stops the pollers and forgets what they and the
    // start-up sent, so that the line carries only what a test does.
    CTransmitterDlg& OpenQuiet()
    {
        CTransmitterDlg& dlg = Open();
        for (CDevicePoller* poller : dlg.Core().findChildren<CDevicePoller*>()) {
            poller->Stop();
        }
        QCoreApplication::sendPostedEvents();
        m_sim.ClearReceived();
        m_messages.Clear();
        return dlg;
    }

    std::unique_ptr<CTransmitterDlg> m_dlg;
};

}  // namespace panel_test
