#pragma once
// A random operator at the main window: moves sliders with the keyboard, the
// wheel and the mouse, presses step, toggle and ON/OFF buttons, and opens the
// protection, device-information and schedule dialogs, fills them in and
// closes them again. Like a real operator it does nothing else while a
// message box or a dialog is open.

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <random>
#include <string>

class CTransmitterDlg;
class CScheduledTaskDlg;
class CSkinSlider;
class QDialog;

namespace soak {

class CMessageBoxReader;

// The action in progress on the user-interface thread, for a stall report.
extern std::atomic<const char*> g_currentAction;

// The operator actions taken: every count but a dialog's outcomes, which are
// parts of the action that opened the dialog.
int ActionsTaken(const std::map<std::string, int>& counts);

class COperatorScript : public QObject
{
public:
    COperatorScript(CTransmitterDlg& dlg, std::mt19937& rng, const CMessageBoxReader& reader);

    void Start();
    void Stop();
    // After this moment schedule edits only clear the rows, so that every
    // task set during the run has fallen due before it ends.
    void SetLastScheduleMoment(std::int64_t secondsSinceEpoch) { m_lastDue = secondsSinceEpoch; }

    // Counts by name. An outcome inside a dialog ("protection: cancel") is
    // counted under its own name as well as under the dialog's opening.
    const std::map<std::string, int>& Actions() const { return m_actions; }
    // Called once every kind of action has been done once.
    void OnFirstRoundDone(std::function<void()> done) { m_firstRoundDone = std::move(done); }
    // Turns skipped because a box or dialog was open.
    int WaitedTurns() const { return m_waited; }

private:
    void Turn();
    bool Busy() const;
    void Count(const char* action);

    CSkinSlider& RandomSlider();
    void SliderKey();
    void SliderWheel();
    void SliderDrag();
    void StepButton();
    void Toggle();
    void Power();
    void ProtectionDialog();
    void DeviceInfoDialog();
    void ScheduleDialog();

    // Runs `work` on the dialog of type T once it is the active modal window,
    // after the operator has "looked at it" for a random while, then cancels
    // it if it is still open.
    void WhenDialogOpen(const char* what, std::function<void(QDialog&)> work);
    void FillProtection(QDialog& dialog);
    void EditSchedule(CScheduledTaskDlg& dialog);

    int Between(int low, int high);

    CTransmitterDlg& m_dlg;
    std::mt19937& m_rng;
    const CMessageBoxReader& m_reader;
    QTimer m_timer;
    bool m_acting = false;
    std::size_t m_tour = 0;  // actions of the first round, one of each kind
    std::function<void()> m_firstRoundDone;
    std::int64_t m_lastDue = 0;
    std::map<std::string, int> m_actions;
    int m_waited = 0;
};

}  // namespace soak
