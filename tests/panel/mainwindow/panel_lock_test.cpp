// The panel lock in the running main window: start-up from the stored
// password, locking and unlocking through the LOCK/UNLOCK button, and the
// dialogs the SET and DEVICEINFO buttons open.
#include "fixture.h"

#include "dialogkit/ControlIds.h"
#include "dialogs/DeviceInfoDlg.h"
#include "dialogs/LockDlg.h"
#include "dialogs/PasswordStore.h"
#include "dialogs/ProtectSettingDlg.h"
#include "dialogs/UnlockDlg.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

using namespace panel_test;

const std::vector<int> kLockableInOrder = {1057, 1058, 1059, 1060, 1061, 1062, 1063, 1064, 1007,
                                           1009, 1008, 1006, 1024, 1025, 1026, 1027, 1028, 1029};
const std::vector<int> kAlwaysUsable = {IDC_BTN_POWER, IDC_BTN_DEVICEINFO, IDC_BTN_LOCK, IDC_BTN_SCHEDULE};

// Records the order in which watched widgets change their enabled state.
class EnableOrderSpy : public QObject
{
public:
    void Watch(QWidget* widget) { widget->installEventFilter(this); }
    std::vector<int> m_ids;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange) {
            m_ids.push_back(watched->objectName().toInt());
        }
        return false;
    }
};

class PanelLockTest : public PanelTest
{
protected:
    void TearDown() override
    {
        m_watch->armed = false;
        m_window.reset();
        PanelTest::TearDown();
    }

    // Starts (or restarts) the main window on the simulator.
    CTransmitterDlg& Start()
    {
        m_window.reset();
        PanelOptions options;
        options.ports = {SimPort()};
        m_window = std::make_unique<CTransmitterDlg>(options);
        EXPECT_TRUE(m_window->OnInitDialog());
        return *m_window;
    }

    // Runs `action` on the next modal dialog of type Dlg once it is shown. A
    // dialog that is still open when `action` returns is cancelled, so no
    // test can hang in a modal loop. A newer call, or the end of the test,
    // disarms an older one that never saw its dialog.
    template <class Dlg>
    void WhenShown(std::function<void(Dlg&)> action)
    {
        m_watch->armed = false;
        m_watch = std::make_shared<Watch>();
        auto poll = std::make_shared<std::function<void(int)>>();
        *poll = [watch = m_watch, action, weakPoll = std::weak_ptr(poll)](int triesLeft) {
            if (!watch->armed) {
                return;
            }
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dlg = qobject_cast<Dlg*>(modal)) {
                watch->armed = false;
                watch->shown = true;
                action(*dlg);
                if (dlg->isVisible()) {
                    dlg->OnCancel();
                }
                return;
            }
            if (auto* other = qobject_cast<QDialog*>(modal)) {
                other->reject();  // the wrong dialog: fail, but do not hang
                return;
            }
            if (triesLeft > 0) {
                if (auto self = weakPoll.lock()) {
                    QTimer::singleShot(10, [self, triesLeft] { (*self)(triesLeft - 1); });
                }
            }
        };
        QTimer::singleShot(0, [poll] { (*poll)(500); });
    }
    bool Shown() const { return m_watch->shown; }

    bool IsEnabled(int id) const
    {
        QWidget* control = m_window->Control(id);
        EXPECT_NE(control, nullptr) << id;
        return control && control->isEnabled();
    }
    void ExpectLocked(bool locked)
    {
        for (int id : kLockableInOrder) {
            EXPECT_EQ(IsEnabled(id), !locked) << "control " << id;
        }
        for (int id : kAlwaysUsable) {
            EXPECT_TRUE(IsEnabled(id)) << "control " << id;
        }
        const ColorRef expected = locked ? kActive : kIdle;
        for (int slot : {IBC_BK_NORMAL, IBC_BK_FOCUS, IBC_BK_ACTIVE}) {
            EXPECT_EQ(Button(*m_window, IDC_BTN_LOCK).GetStateColor(slot), expected) << "slot " << slot;
        }
    }

    void LockWith(const QString& first, const QString& second)
    {
        WhenShown<CLockDlg>([first, second](CLockDlg& dlg) {
            dlg.SetDlgItemText(IDC_EDIT_PASSWORD1, first);
            dlg.SetDlgItemText(IDC_EDIT_PASSWORD2, second);
            dlg.OnOK();
        });
        QTest::mouseClick(&Button(*m_window, IDC_BTN_LOCK), Qt::LeftButton);
        EXPECT_TRUE(Shown());
    }
    void UnlockWith(const QString& entry)
    {
        WhenShown<CUnlockDlg>([entry](CUnlockDlg& dlg) {
            dlg.SetDlgItemText(IDC_EDIT_UNLOCK, entry);
            dlg.OnOK();
        });
        QTest::mouseClick(&Button(*m_window, IDC_BTN_LOCK), Qt::LeftButton);
        EXPECT_TRUE(Shown());
    }

    struct Watch {
        bool armed = true;
        bool shown = false;
    };
    std::unique_ptr<CTransmitterDlg> m_window;
    std::shared_ptr<Watch> m_watch = std::make_shared<Watch>();
};

TEST_F(PanelLockTest, WithoutAStoredPasswordThePanelStartsUnlocked)
{
    Start();
    ExpectLocked(false);

    QString first = "unset", second = "unset";
    WhenShown<CLockDlg>([&](CLockDlg& dlg) {
        first = dlg.GetDlgItemText(IDC_EDIT_PASSWORD1);
        second = dlg.GetDlgItemText(IDC_EDIT_PASSWORD2);
        dlg.OnCancel();
    });
    QTest::mouseClick(&Button(*m_window, IDC_BTN_LOCK), Qt::LeftButton);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "");
    ExpectLocked(false);  // Cancel changes nothing
    EXPECT_FALSE(QFile::exists(CPasswordStore::DefaultFileName()));
}

TEST_F(PanelLockTest, LockingDisablesTheControlsInOrder)
{
    Start();
    EnableOrderSpy spy;
    for (int id : kLockableInOrder) {
        spy.Watch(m_window->Control(id));
    }
    LockWith("Secret", "Secret");
    EXPECT_EQ(spy.m_ids, kLockableInOrder);
    ExpectLocked(true);
    EXPECT_EQ(CPasswordStore().Read(), "Secret");

    spy.m_ids.clear();
    UnlockWith("Secret");
    EXPECT_EQ(spy.m_ids, kLockableInOrder);
}

TEST_F(PanelLockTest, StoredPasswordSurvivesUnlockAndRestart)
{
    Start();
    LockWith("Secret", "Secret");
    ExpectLocked(true);

    // A restart comes up locked, with an empty Unlock field.
    Start();
    ExpectLocked(true);

    QString entry = "unset";
    WhenShown<CUnlockDlg>([&](CUnlockDlg& dlg) {
        entry = dlg.GetDlgItemText(IDC_EDIT_UNLOCK);
        dlg.SetDlgItemText(IDC_EDIT_UNLOCK, "secret");  // wrong case
        dlg.OnOK();
        EXPECT_TRUE(dlg.isVisible());
        dlg.SetDlgItemText(IDC_EDIT_UNLOCK, "Secret");
        dlg.OnOK();
    });
    QTest::mouseClick(&Button(*m_window, IDC_BTN_LOCK), Qt::LeftButton);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(entry, "");
    EXPECT_EQ(m_messages.Messages(), std::vector<RecordedMessage>{Msg("Password Error")});
    ExpectLocked(false);

    // Unlocking leaves the password stored: the next start is locked again.
    EXPECT_EQ(CPasswordStore().Read(), "Secret");
    Start();
    ExpectLocked(true);
}

TEST_F(PanelLockTest, CancelledUnlockStaysLocked)
{
    ASSERT_TRUE(CPasswordStore().Write("pw"));
    Start();
    WhenShown<CUnlockDlg>([](CUnlockDlg& dlg) { dlg.OnCancel(); });
    QTest::mouseClick(&Button(*m_window, IDC_BTN_LOCK), Qt::LeftButton);
    ASSERT_TRUE(Shown());
    ExpectLocked(true);
}

TEST_F(PanelLockTest, EmptyPasswordLocksAndTheNextStartIsUnlocked)
{
    ASSERT_TRUE(CPasswordStore().Write("old"));
    Start();
    UnlockWith("old");
    LockWith("", "");
    ExpectLocked(true);
    UnlockWith("");
    ExpectLocked(false);

    LockWith("", "");
    Start();
    ExpectLocked(false);
}

TEST_F(PanelLockTest, WhileLockedPowerWorksAndSetDoesNot)
{
    ASSERT_TRUE(CPasswordStore().Write("pw"));
    Start();
    ExpectLocked(true);
    m_sim.ClearReceived();

    QTest::mouseClick(&Button(*m_window, IDC_BTN_SET), Qt::LeftButton);  // disabled: no dialog may open
    QTest::mouseClick(&Button(*m_window, IDC_BTN_POWER), Qt::LeftButton);

    const std::vector<Frame> power =
        FramesWithout(Sent(), {0x14, 0x16, 0x17, 0x18, 0x1C, 0x1D, 0x1E, 0x22});  // the pollers' readings
    ASSERT_FALSE(power.empty()) << FramesToString(Sent());
    EXPECT_TRUE(power.front()[2] == 0x02 || power.front()[2] == 0x03) << FramesToString(power);
}

TEST_F(PanelLockTest, DeviceInfoOpensWhileLocked)
{
    ASSERT_TRUE(CPasswordStore().Write("pw"));
    Start();
    QString type;
    WhenShown<CDeviceInfoDlg>([&](CDeviceInfoDlg& dlg) {
        type = dlg.GetDlgItemText(IDC_INFO_DEVTYPE);
        dlg.OnOK();
    });
    QTest::mouseClick(&Button(*m_window, IDC_BTN_DEVICEINFO), Qt::LeftButton);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(type, QStringLiteral("Vemra-") + QString::fromStdString(m_sim.State().deviceType));
}

TEST_F(PanelLockTest, SetButtonSendsTheProtectionPoints)
{
    Start();
    m_sim.ClearReceived();
    WhenShown<CProtectSettingDlg>([&](CProtectSettingDlg& dlg) {
        dlg.SetDlgItemText(IDC_EDIT_TMPPT, "52");
        dlg.SetDlgItemText(IDC_EDIT_SWRPT, "2.8");
        dlg.OnOK();
    });
    QTest::mouseClick(&Button(*m_window, IDC_BTN_SET), Qt::LeftButton);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(m_sim.State().temperaturePoint, 52);
    EXPECT_EQ(m_sim.State().swrPoint, 28);
    EXPECT_TRUE(m_messages.Messages().empty());
}

}  // namespace
