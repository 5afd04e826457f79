#include "OperatorScript.h"

#include "MessageBoxReader.h"

#include "core/ScheduleRules.h"
#include "dialogkit/ControlIds.h"
#include "dialogs/ProtectSettingDlg.h"
#include "mainwindow/TransmitterDlg.h"
#include "schedule/ScheduledTaskDlg.h"

#include <QApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QTest>
#include <QTimeEdit>
#include <QWheelEvent>

#include <memory>

namespace soak {

std::atomic<const char*> g_currentAction{"(none)"};

namespace {

constexpr int kMinTurnMs = 250;
constexpr int kMaxTurnMs = 1400;
// Leaves time for a task set now to fall due (at most 15 s away, or 10 s
// after the edit when nearer) and be run before the end.
constexpr int kMaxDueSeconds = 15;

using Action = void (COperatorScript::*)();

struct Choice {
    Action action;
    int weight;
};

CImageButton& Button(const CTransmitterDlg& dlg, int id) { return *qobject_cast<CImageButton*>(dlg.Control(id)); }
CSkinSlider& Slider(const CTransmitterDlg& dlg, int id) { return *qobject_cast<CSkinSlider*>(dlg.Control(id)); }

}  // namespace

COperatorScript::COperatorScript(CTransmitterDlg& dlg, std::mt19937& rng, const CMessageBoxReader& reader)
    : m_dlg(dlg), m_rng(rng), m_reader(reader)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &COperatorScript::Turn);
}

void COperatorScript::Start() { m_timer.start(Between(kMinTurnMs, kMaxTurnMs)); }

void COperatorScript::Stop() { m_timer.stop(); }

int COperatorScript::Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }

bool COperatorScript::Busy() const
{
    return m_acting || m_reader.IsReading() || QApplication::activeModalWidget() != nullptr ||
           QApplication::activePopupWidget() != nullptr;
}

int ActionsTaken(const std::map<std::string, int>& counts)
{
    int total = 0;
    for (const auto& [name, count] : counts) {
        if (name.find(": ") == std::string::npos) {
            total += count;
        }
    }
    return total;
}

void COperatorScript::Count(const char* action)
{
    g_currentAction = action;
    ++m_actions[action];
}

void COperatorScript::Turn()
{
    if (Busy()) {
        ++m_waited;
        m_timer.start(Between(kMinTurnMs, kMaxTurnMs));
        return;
    }
    static constexpr Choice kChoices[] = {
        {&COperatorScript::SliderKey, 4},        {&COperatorScript::SliderWheel, 3},
        {&COperatorScript::SliderDrag, 2},       {&COperatorScript::StepButton, 4},
        {&COperatorScript::Toggle, 4},           {&COperatorScript::Power, 2},
        {&COperatorScript::ProtectionDialog, 1}, {&COperatorScript::DeviceInfoDialog, 1},
        {&COperatorScript::ScheduleDialog, 2},
    };
    Action action = kChoices[0].action;
    if (m_tour < std::size(kChoices)) {
        // Every kind of action once first, so that what each first use sets
        // up for good (dialog styles, fonts, caches) lands in the warm-up
        // rather than reading as growth later.
        action = kChoices[m_tour++].action;
    } else {
        int total = 0;
        for (const Choice& c : kChoices) {
            total += c.weight;
        }
        int pick = Between(0, total - 1);
        for (const Choice& c : kChoices) {
            if (pick < c.weight) {
                action = c.action;
                break;
            }
            pick -= c.weight;
        }
    }
    // Message boxes and dialogs run nested event loops inside the action;
    // the flag keeps this operator from acting again until it returns.
    m_acting = true;
    (this->*action)();
    m_acting = false;
    if (m_tour == std::size(kChoices) && m_firstRoundDone) {
        ++m_tour;
        m_firstRoundDone();
    }
    g_currentAction = "(between actions)";
    m_timer.start(Between(kMinTurnMs, kMaxTurnMs));
}

CSkinSlider& COperatorScript::RandomSlider()
{
    CSkinSlider* sliders[] = {&Slider(m_dlg, IDC_SLIDER_FREQ), &Slider(m_dlg, IDC_SLIDER_POWER),
                              &Slider(m_dlg, IDC_SLIDER_LINEVOL), &Slider(m_dlg, IDC_SLIDER_MICVOL)};
    return *sliders[Between(0, 3)];
}

void COperatorScript::SliderKey()
{
    Count("slider key");
    static constexpr Qt::Key kKeys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,   Qt::Key_Down,
                                        Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
    QTest::keyClick(&RandomSlider(), kKeys[Between(0, static_cast<int>(std::size(kKeys)) - 1)]);
}

void COperatorScript::SliderWheel()
{
    Count("slider wheel");
    CSkinSlider& slider = RandomSlider();
    const QPointF at(slider.width() / 2.0, slider.height() / 2.0);
    const int turn = Between(0, 1) ? 120 : -120;
    QWheelEvent wheel(at, slider.mapToGlobal(at), QPoint(), QPoint(0, turn), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&slider, &wheel);
}

void COperatorScript::SliderDrag()
{
    Count("slider drag");
    CSkinSlider& slider = RandomSlider();
    const QPoint from = slider.ThumbRect().center();
    const QPoint to = from + QPoint(Between(-80, 80), 0);
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(&slider, (from + to) / 2);
    QTest::mouseMove(&slider, to);
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, to);
}

void COperatorScript::StepButton()
{
    Count("step button");
    CImageButton* buttons[] = {&Button(m_dlg, IDC_BTN_FREQ_UP),    &Button(m_dlg, IDC_BTN_FREQ_DOWN),
                               &Button(m_dlg, IDC_BTN_PWR_UP),     &Button(m_dlg, IDC_BTN_PWR_DOWN),
                               &Button(m_dlg, IDC_BTN_LINEVOL_UP), &Button(m_dlg, IDC_BTN_LINEVOL_DOWN),
                               &Button(m_dlg, IDC_BTN_MICVOL_UP),  &Button(m_dlg, IDC_BTN_MICVOL_DOWN)};
    buttons[Between(0, 7)]->click();
}

void COperatorScript::Toggle()
{
    Count("toggle");
    CImageButton* buttons[] = {&Button(m_dlg, IDC_BTN_LINE), &Button(m_dlg, IDC_BTN_MIC), &Button(m_dlg, IDC_BTN_ECHO),
                               &Button(m_dlg, IDC_BTN_STMONO), &Button(m_dlg, IDC_BTN_BACKLIGHT)};
    buttons[Between(0, 4)]->click();
}

void COperatorScript::Power()
{
    Count("ON/OFF");
    Button(m_dlg, IDC_BTN_POWER).click();
}

void COperatorScript::WhenDialogOpen(const char* what, std::function<void(QDialog&)> work)
{
    auto attempt = std::make_shared<std::function<void(int)>>();
    *attempt = [this, what, work, weak = std::weak_ptr(attempt)](int triesLeft) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || m_reader.IsReading()) {
            if (triesLeft > 0) {
                if (auto self = weak.lock()) {
                    QTimer::singleShot(50, this, [self, triesLeft] { (*self)(triesLeft - 1); });
                }
            }
            return;
        }
        g_currentAction = what;
        work(*dialog);
        if (dialog->isVisible()) {
            // The operator read what came up and gives up on the dialog.
            if (auto* own = qobject_cast<CDialog*>(dialog)) {
                own->OnCancel();
            } else {
                dialog->reject();
            }
        }
    };
    QTimer::singleShot(Between(150, 1200), this, [attempt] { (*attempt)(200); });
}

void COperatorScript::ProtectionDialog()
{
    Count("protection dialog");
    WhenDialogOpen("filling the protection dialog", [this](QDialog& dialog) { FillProtection(dialog); });
    Button(m_dlg, IDC_BTN_SET).click();
}

void COperatorScript::FillProtection(QDialog& dialog)
{
    auto* protect = qobject_cast<CProtectSettingDlg*>(&dialog);
    if (!protect) {
        return;
    }
    switch (Between(0, 4)) {
    case 0:
        Count("protection: cancel");
        protect->OnCancel();
        return;
    case 1: Count("protection: OK as read"); break;
    case 2:
        Count("protection: new points");
        protect->SetDlgItemText(IDC_EDIT_TMPPT, QString::number(Between(50, 70)));
        protect->SetDlgItemText(IDC_EDIT_SWRPT, QString::asprintf("%.1f", Between(20, 40) / 10.0));
        break;
    case 3:
        Count("protection: temperature out of range");
        protect->SetDlgItemText(IDC_EDIT_TMPPT, QString::number(Between(0, 1) ? Between(71, 200) : Between(-5, 49)));
        break;
    default:
        Count("protection: standing-wave out of range");
        protect->SetDlgItemText(IDC_EDIT_TMPPT, QString());
        protect->SetDlgItemText(IDC_EDIT_SWRPT, Between(0, 1) ? QStringLiteral("4.5") : QStringLiteral("x"));
        break;
    }
    protect->OnOK();
}

void COperatorScript::DeviceInfoDialog()
{
    Count("device info dialog");
    WhenDialogOpen("reading the device information", [](QDialog& dialog) {
        if (auto* own = qobject_cast<CDialog*>(&dialog)) {
            own->OnOK();
        }
    });
    Button(m_dlg, IDC_BTN_DEVICEINFO).click();
}

void COperatorScript::ScheduleDialog()
{
    Count("schedule dialog");
    WhenDialogOpen("editing the schedule", [this](QDialog& dialog) {
        if (auto* schedule = qobject_cast<CScheduledTaskDlg*>(&dialog)) {
            EditSchedule(*schedule);
        }
    });
    Button(m_dlg, IDC_BTN_SCHEDULE).click();
}

void COperatorScript::EditSchedule(CScheduledTaskDlg& dialog)
{
    if (Between(0, 4) == 0) {
        Count("schedule: cancel");
        dialog.OnCancel();
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    const bool setTask = now.toSecsSinceEpoch() + kMaxDueSeconds < m_lastDue;
    const int row = Between(0, kTaskRows - 1);
    const int operation = Between(TASK_STARTUP, TASK_SHUTDOWN);
    // One task at a time, so each falls due on its own and none waits
    // behind another.
    for (int r = 0; r < kTaskRows; ++r) {
        dialog.OperationBox(r).setCurrentIndex(setTask && r == row ? operation : TASK_NOTHING);
    }
    if (setTask) {
        const QDateTime due = now.addSecs(Between(3, kMaxDueSeconds));
        if (!IsEverydayRow(row)) {
            dialog.DatePicker(row)->setDate(due.date());
        }
        dialog.TimePicker(row)->setTime(due.time());
        Count(operation == TASK_STARTUP ? "schedule: start-up task" : "schedule: shut-down task");
    } else {
        Count("schedule: clear");
    }
    dialog.OnOK();
}

}  // namespace soak
