// The main window started with --port naming a network port: the panel
// reaches the transmitter through a real ser2net by rfc2217://, with no
// change of its own; the library picks the transport by the name.
#include "fixture.h"

#include "mainwindow/PanelOptions.h"

#include "../../support/Ser2Net.h"

namespace panel_test {
namespace {

using RemotePortTest = MainWindowTest;

TEST_F(RemotePortTest, StartsOnAnRfc2217PortThroughSer2Net)
{
    nettest::Ser2Net ser2net;
    std::string error;
    ASSERT_TRUE(ser2net.Start(m_workDir.Path().toStdString(), m_sim.DevicePath(), &error)) << error;
    ChangeState([](SimState& s) {
        s.frequency = 953;
        s.power = 42;
        s.deviceType = "K2R";
    });

    const PanelOptions options =
        ParsePanelOptions({QStringLiteral("--port"), QString::fromStdString(ser2net.TelnetUrl())});
    ASSERT_TRUE(options.error.isEmpty()) << options.error.toStdString();
    m_dlg = std::make_unique<CTransmitterDlg>(options);
    ASSERT_TRUE(m_dlg->OnInitDialog());

    EXPECT_TRUE(m_dlg->Core().IsPowerOn()) << "the probe switched it on";
    EXPECT_FALSE(m_sim.State().standby);
    EXPECT_EQ(m_dlg->Core().Accepted(CTransmitterCore::Quantity::Frequency), 953);
    EXPECT_EQ(m_dlg->Core().Accepted(CTransmitterCore::Quantity::Power), 42);
    EXPECT_EQ(m_dlg->GetDlgItemText(IDC_STATIC_DEVTYPE), QStringLiteral("Vemra-K2R"));
    // The pollers go on reading over the network.
    m_sim.ClearReceived();
    EXPECT_TRUE(m_sim.WaitForFrames(3, std::chrono::seconds(3)));
    EXPECT_TRUE(m_messages.Messages().empty()) << m_messages.Texts().front().toStdString();

    // The window goes before the server it talks through.
    m_dlg.reset();
}

}  // namespace
}  // namespace panel_test
