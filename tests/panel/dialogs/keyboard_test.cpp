// The keyboard in every dialog: Enter presses the push button that has the
// focus, as on the platform, so Tab to Cancel and Enter cancels; elsewhere
// Enter is OK. And texts from the device are never read as markup.
#include "fixture.h"

#include "dialogkit/ControlIds.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/DeviceInfoDlg.h"
#include "dialogs/LockDlg.h"
#include "dialogs/ProtectSettingDlg.h"
#include "dialogs/UnlockDlg.h"
#include "schedule/ScheduledTaskDlg.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <memory>

namespace {

using KeyboardTest = dialogs_test::DeviceDialogTest;

struct DialogCase {
    const char* name;
    std::function<std::unique_ptr<CDialog>()> make;
    bool hasCancel;  // a visible Cancel button to tab to
};

const DialogCase kDialogs[] = {
    {"protection", [] { return std::make_unique<CProtectSettingDlg>(); }, true},
    {"device information", [] { return std::make_unique<CDeviceInfoDlg>(); }, false},
    {"lock", [] { return std::make_unique<CLockDlg>(); }, true},
    {"unlock", [] { return std::make_unique<CUnlockDlg>(); }, true},
    {"schedule", [] { return std::make_unique<CScheduledTaskDlg>(); }, true},
    {"about", [] { return std::make_unique<CAboutDlg>(); }, false},
};

// Shows the initialised `dialog` with the focus on control `id`, and
// presses Enter there.
int EnterOn(CDialog& dialog, int id)
{
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget* control = dialog.GetDlgItem(id);
    EXPECT_NE(control, nullptr);
    if (control == nullptr) {
        return -1;
    }
    control->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    return dialog.result();
}

TEST_F(KeyboardTest, EnterPressesTheFocusedButtonInEveryDialog)
{
    for (const DialogCase& c : kDialogs) {
        SCOPED_TRACE(c.name);
        if (c.hasCancel) {
            auto dialog = c.make();
            dialog->OnInitDialog();
            EXPECT_EQ(EnterOn(*dialog, IDC_CANCEL), IDC_CANCEL);
        }
        auto dialog = c.make();
        dialog->OnInitDialog();
        EXPECT_EQ(EnterOn(*dialog, IDC_OK), IDC_OK);
    }
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(KeyboardTest, EnterOnCancelSendsTheProtectionPointsNowhere)
{
    // Enter on Cancel sends nothing; Enter in an entry field is OK, which
    // sends both points.
    const struct {
        int focus, result;
        std::size_t frames;
    } cases[] = {{IDC_CANCEL, IDC_CANCEL, 0}, {IDC_EDIT_SWRPT, IDC_OK, 2}};
    for (const auto& c : cases) {
        CProtectSettingDlg dialog;
        dialog.OnInitDialog();
        dialog.SetDlgItemText(IDC_EDIT_TMPPT, QStringLiteral("60"));
        dialog.SetDlgItemText(IDC_EDIT_SWRPT, QStringLiteral("3.0"));
        m_sim.ClearReceived();
        EXPECT_EQ(EnterOn(dialog, c.focus), c.result);
        EXPECT_EQ(Sent().size(), c.frames);
    }
}

TEST_F(KeyboardTest, DeviceTextsArePlainText)
{
    SimState state = m_sim.State();
    state.deviceType = "<b>";
    m_sim.SetState(state);
    CDeviceInfoDlg dialog;
    dialog.OnInitDialog();
    for (const int id : {IDC_INFO_SERIAL, IDC_INFO_VERSION, IDC_INFO_DEVTYPE}) {
        const auto* label = qobject_cast<QLabel*>(dialog.GetDlgItem(id));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << id;
    }
    EXPECT_EQ(dialog.GetDlgItemText(IDC_INFO_DEVTYPE), QStringLiteral("Vemra-<b>"));
}

}  // namespace
