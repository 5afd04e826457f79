// The device information dialog against the simulated transmitter.
#include "fixture.h"

#include "dialogkit/ControlIds.h"
#include "dialogs/DeviceInfoDlg.h"

#include <QLabel>

namespace {

using dialogs_test::Frame;

constexpr int kGetSerial = 0x19, kGetVersion = 0x1A, kGetType = 0x1B;

class DeviceInfoDlgTest : public dialogs_test::DeviceDialogTest
{
protected:
    void SetUp() override
    {
        DeviceDialogTest::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        SimState state = m_sim.State();
        state.serial = {0x12, 0xAB, 0x00, 0x05, 0xFF, 0x3C, 0x7E};
        state.version = "2b";
        state.deviceType = "K7X";
        m_sim.SetState(state);
    }

    CDeviceInfoDlg m_dlg;
};

TEST_F(DeviceInfoDlgTest, ShowsTheThreeTextsReadInOrder)
{
    m_dlg.OnInitDialog();
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_SERIAL), "12AB0005FF3C7E");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_VERSION), "2b");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_DEVTYPE), "Vemra-K7X");
    EXPECT_EQ(Sent(),
              (std::vector<Frame>{{0x01, 0x01, kGetSerial}, {0x01, 0x01, kGetVersion}, {0x01, 0x01, kGetType}}));
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(m_dlg.windowTitle(), "DeviceInfomation");
}

TEST_F(DeviceInfoDlgTest, UnansweredRequestsShowTheirFailureTextsAndNoMessage)
{
    Refuse(kSimAllCommands, true);
    m_dlg.OnInitDialog();
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_SERIAL), "Get Serial Number Fail");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_VERSION), "Get SCM Program Version Fail");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_DEVTYPE), "Get Device Type Fail");
    EXPECT_EQ(Sent().size(), 3u);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(DeviceInfoDlgTest, OneFailedReadDoesNotDisturbTheOthers)
{
    Refuse(kGetVersion);
    m_dlg.OnInitDialog();
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_SERIAL), "12AB0005FF3C7E");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_VERSION), "Get SCM Program Version Fail");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_DEVTYPE), "Vemra-K7X");
}

TEST_F(DeviceInfoDlgTest, WithoutAnOpenPortEveryTextIsAFailure)
{
    CloseComm();
    m_dlg.OnInitDialog();
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_SERIAL), "Get Serial Number Fail");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_VERSION), "Get SCM Program Version Fail");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_INFO_DEVTYPE), "Get Device Type Fail");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DeviceInfoDlgTest, DeviceTextIsNeverReadAsMarkup)
{
    SimState state = m_sim.State();
    state.deviceType = "<b>";
    m_sim.SetState(state);
    m_dlg.OnInitDialog();
    auto* type = qobject_cast<QLabel*>(m_dlg.GetDlgItem(IDC_INFO_DEVTYPE));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->text(), "Vemra-<b>");
    EXPECT_EQ(type->textFormat(), Qt::PlainText);
}

}  // namespace
