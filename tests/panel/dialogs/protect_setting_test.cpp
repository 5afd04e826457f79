// The protection dialog against the simulated transmitter: what it reads,
// what it sends for each kind of entry, and when it stays open.
#include "common/DecimalCommaLocale.h"
#include "fixture.h"

#include "core/DeviceAccess.h"
#include "dialogkit/ControlIds.h"
#include "dialogs/ProtectSettingDlg.h"

#include <future>

namespace {

using dialogs_test::Frame;
using dialogs_test::Msg;
using dialogs_test::RecordedMessage;

constexpr int kSetSwrPoint = 0x12, kSetTemperaturePoint = 0x13;
constexpr int kGetTemperaturePoint = 0x20, kGetSwrPoint = 0x21;

Frame SetFrame(int code, int value)
{
    return {0x01, 0x02, static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(value)};
}

const RecordedMessage kTemperatureRange = Msg("The Temperature protection Set out of range");
const RecordedMessage kTemperatureFail = Msg("Set Temperature protection Fail");
const RecordedMessage kSwrRange = Msg("The Standing-wave  protection Set out of range");
const RecordedMessage kSwrFail = Msg("Set Standing-wave  protection Fail");

class ProtectSettingDlgTest : public dialogs_test::DeviceDialogTest
{
protected:
    // Opens the dialog (reading the points), then enters the two texts.
    void Open(const QString& temperature, const QString& swr)
    {
        m_dlg.OnInitDialog();
        m_dlg.SetDlgItemText(IDC_EDIT_TMPPT, temperature);
        m_dlg.SetDlgItemText(IDC_EDIT_SWRPT, swr);
        m_sim.ClearReceived();
    }
    bool Closed() const { return m_dlg.result() == IDC_OK; }

    CProtectSettingDlg m_dlg;
};

TEST_F(ProtectSettingDlgTest, OpensWithTheDevicePointsFormatted)
{
    SimState state = m_sim.State();
    state.temperaturePoint = 57;
    state.swrPoint = 25;
    m_sim.SetState(state);

    m_dlg.OnInitDialog();

    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_EDIT_TMPPT), "57");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_EDIT_SWRPT), "2.5");
    EXPECT_EQ(Sent(), (std::vector<Frame>{{0x01, 0x01, kGetTemperaturePoint}, {0x01, 0x01, kGetSwrPoint}}));
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(m_dlg.windowTitle(), "ProtectSetting");
}

TEST_F(ProtectSettingDlgTest, AFailedReadLeavesOnlyItsFieldEmpty)
{
    Refuse(kGetTemperaturePoint);
    m_dlg.OnInitDialog();
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_EDIT_TMPPT), "");
    EXPECT_EQ(m_dlg.GetDlgItemText(IDC_EDIT_SWRPT), "3.0");
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ProtectSettingDlgTest, BothFieldsEmptySendsNothingAndCloses)
{
    Open("", "");
    m_dlg.OnOK();
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_TRUE(Closed());
}

TEST_F(ProtectSettingDlgTest, TemperatureAloneIsSentAndCloses)
{
    Open("70", "");
    m_dlg.OnOK();
    EXPECT_EQ(Sent(), std::vector<Frame>{SetFrame(kSetTemperaturePoint, 70)});
    EXPECT_EQ(m_sim.State().temperaturePoint, 70);
    EXPECT_TRUE(Closed());
}

TEST_F(ProtectSettingDlgTest, TemperatureIsReadLikeAtoi)
{
    Open(" 60abc", "");
    m_dlg.OnOK();
    EXPECT_EQ(Sent(), std::vector<Frame>{SetFrame(kSetTemperaturePoint, 60)});
    EXPECT_TRUE(Closed());
}

TEST_F(ProtectSettingDlgTest, TemperatureOutOfRangeOnlyWarnsAndStaysOpen)
{
    // The operator corrects the entry again and again in the same dialog; the
    // standing-wave entry is bad too, but is never looked at.
    Open("", "9.9");
    for (const QString entry : {"71", "49", "abc", "-60", "99999999999", "4294967356", " "}) {
        SCOPED_TRACE(entry.toStdString());
        m_dlg.SetDlgItemText(IDC_EDIT_TMPPT, entry);
        m_messages.Clear();

        m_dlg.OnOK();

        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{kTemperatureRange});
        EXPECT_EQ(m_dlg.result(), 0) << "the dialog must stay open";
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ProtectSettingDlgTest, TemperatureLimitsAreAccepted)
{
    for (const int point : {50, 70}) {
        CProtectSettingDlg dlg;
        dlg.OnInitDialog();
        dlg.SetDlgItemText(IDC_EDIT_TMPPT, QString::number(point));
        dlg.SetDlgItemText(IDC_EDIT_SWRPT, "");
        m_sim.ClearReceived();
        dlg.OnOK();
        EXPECT_EQ(Sent(), std::vector<Frame>{SetFrame(kSetTemperaturePoint, point)});
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ProtectSettingDlgTest, SwrEntriesAreConvertedToTenths)
{
    const std::pair<const char*, int> cases[] = {{"4", 40},    {"2.04", 20},  {"2", 20},  {"3.96", 40},
                                                 {"2.05", 21}, {" 3.5V", 35}, {"3,5", 30}};
    for (const auto& [entry, tenths] : cases) {
        SCOPED_TRACE(entry);
        CProtectSettingDlg dlg;
        dlg.OnInitDialog();
        dlg.SetDlgItemText(IDC_EDIT_TMPPT, "");
        dlg.SetDlgItemText(IDC_EDIT_SWRPT, entry);
        m_sim.ClearReceived();

        dlg.OnOK();

        EXPECT_EQ(Sent(), std::vector<Frame>{SetFrame(kSetSwrPoint, tenths)});
        EXPECT_EQ(m_sim.State().swrPoint, tenths);
        EXPECT_EQ(dlg.result(), IDC_OK);
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(ProtectSettingDlgTest, PointsAreShownAndReadWithAPointInEveryLocale)
{
    const testlocale::Scoped decimalComma;
    ASSERT_TRUE(decimalComma.Active());
    SimState state = m_sim.State();
    state.swrPoint = 25;
    m_sim.SetState(state);
    for (const auto& [entry, tenths] : {std::pair{"3.5", 35}, std::pair{"3,5", 30}}) {
        SCOPED_TRACE(entry);
        CProtectSettingDlg dlg;
        dlg.OnInitDialog();
        EXPECT_EQ(dlg.GetDlgItemText(IDC_EDIT_SWRPT), "2.5");
        dlg.SetDlgItemText(IDC_EDIT_TMPPT, "");
        dlg.SetDlgItemText(IDC_EDIT_SWRPT, entry);
        m_sim.ClearReceived();
        dlg.OnOK();
        EXPECT_EQ(Sent(), std::vector<Frame>{SetFrame(kSetSwrPoint, tenths)});
        state.swrPoint = 25;
        m_sim.SetState(state);
    }
}

TEST_F(ProtectSettingDlgTest, SwrOutOfRangeWarnsSendsNothingAndStaysOpen)
{
    Open("", "");
    for (const QString entry : {"4.1", "1.9", "letters", "99999999999", "1e400", "inf", "nan", "-3"}) {
        SCOPED_TRACE(entry.toStdString());
        m_dlg.SetDlgItemText(IDC_EDIT_SWRPT, entry);
        m_messages.Clear();

        m_dlg.OnOK();

        EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{kSwrRange});
        EXPECT_EQ(m_dlg.result(), 0);
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ProtectSettingDlgTest, RetryAfterASwrRangeErrorSendsTheTemperatureAgain)
{
    Open("55", "5");
    m_dlg.OnOK();
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{kSwrRange});
    EXPECT_FALSE(Closed());

    m_dlg.SetDlgItemText(IDC_EDIT_SWRPT, "3.5");
    m_dlg.OnOK();

    EXPECT_EQ(Sent(), (std::vector<Frame>{SetFrame(kSetTemperaturePoint, 55), SetFrame(kSetTemperaturePoint, 55),
                                          SetFrame(kSetSwrPoint, 35)}));
    EXPECT_TRUE(Closed());
}

TEST_F(ProtectSettingDlgTest, RefusedTemperatureStillSendsTheSwrPoint)
{
    Refuse(kSetTemperaturePoint);
    Open("60", "2.5");
    m_dlg.OnOK();
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{kTemperatureFail});
    EXPECT_EQ(Sent(), (std::vector<Frame>{SetFrame(kSetTemperaturePoint, 60), SetFrame(kSetSwrPoint, 25)}));
    EXPECT_EQ(m_sim.State().swrPoint, 25);
    EXPECT_TRUE(Closed());
}

TEST_F(ProtectSettingDlgTest, RefusedSwrPointIsReportedAndTheDialogCloses)
{
    Refuse(kSetSwrPoint);
    Open("", "3.3");
    m_dlg.OnOK();
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{kSwrFail});
    EXPECT_TRUE(Closed());
}

TEST_F(ProtectSettingDlgTest, FailMessagesAreShownWhileTheDeviceLockIsHeld)
{
    Refuse(kSetTemperaturePoint);
    Refuse(kSetSwrPoint);
    std::vector<bool> lockFreeForOthers;
    m_messages.OnMessage([&](const RecordedMessage&) {
        auto other = std::async(std::launch::async, [] {
            const bool locked = g_csDevice.try_lock();
            if (locked) {
                g_csDevice.unlock();
            }
            return locked;
        });
        lockFreeForOthers.push_back(other.get());
    });
    Open("60", "2.5");
    m_dlg.OnOK();
    EXPECT_EQ(m_messages.Messages(), (std::vector<RecordedMessage>{kTemperatureFail, kSwrFail}));
    EXPECT_EQ(lockFreeForOthers, (std::vector<bool>{false, false}));
    // And released afterwards.
    ASSERT_TRUE(std::async(std::launch::async, [] {
                    const bool locked = g_csDevice.try_lock();
                    if (locked) {
                        g_csDevice.unlock();
                    }
                    return locked;
                }).get());
}

TEST_F(ProtectSettingDlgTest, CancelSendsNothing)
{
    Open("60", "2.5");
    m_dlg.OnCancel();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_dlg.result(), IDC_CANCEL);
}

}  // namespace
