#pragma once
// The main window: a view of the transmitter core. It forwards the
// operator's input to the core, shows what the core reports and owns what is
// the panel's own: the lock, the schedule and its dialog, the metrics
// listener. Its member functions are spread over files by concern; each file
// calls only into the ones below it:
//   TransmitterDlgLifetime.cpp  construction, start-up, closing
//   TransmitterDlgControls.cpp  sliders, step buttons, toggles and ON/OFF
//   TransmitterDlgSchedule.cpp  loading, editing and running the schedule
//   TransmitterDlgLock.cpp      panel lock, protection and device information
//   TransmitterDlgPaint.cpp     setting the controls up, readings, toggle faces
//   TransmitterDlg.cpp          the controls by id, the sliders' quantities,
//                               a button's colours, the not-connected box

#include "PanelOptions.h"
#include "SystemMenu.h"
#include "core/TaskSchedule.h"
#include "core/TransmitterCore.h"
#include "dialogkit/ControlIds.h"
#include "dialogkit/Dialog.h"

#include "controls/ImageButton.h"
#include "controls/SkinProgress.h"
#include "controls/SkinSlider.h"
#include "controls/SkinSliderTenths.h"
#include "controls/segment/SegmentDisplay.h"

#include <QFont>
#include <array>
#include <memory>
#include <span>
#include <utility>

class CPanelMetrics;

class CTransmitterDlg : public CDialog
{
    Q_OBJECT
public:
    explicit CTransmitterDlg(const PanelOptions& options = {}, QWidget* parent = nullptr);
    ~CTransmitterDlg() override;

    // Connects, reads the device, sets the controls up and starts the threads.
    // false when no transmitter answered (the dialog is then ended with 0 and
    // never shown; DoModal returns 0).
    bool OnInitDialog() override;
    // Enter and Escape end the window through the same stop sequence as closing it.
    void OnOK() override;
    void OnCancel() override;

    // The control with `id` in the main window's template (null if none).
    QWidget* Control(int id) const;
    // The transmitter this window shows.
    CTransmitterCore& Core() { return m_core; }
    // The schedule the "Scheduled Task" button edits.
    CTaskSchedule& Schedule() { return m_schedule; }
    // The Prometheus listener; null without --metrics-listen or when it failed.
    const CPanelMetrics* Metrics() const { return m_metrics.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    using Quantity = CTransmitterCore::Quantity;
    using Function = CTransmitterCore::Function;

    // ---- TransmitterDlgLifetime.cpp
    // Probes the port list; shows "The Device is not connected." when no
    // transmitter answered.
    bool ConnectDevice();
    void StartWorkerThreads();
    // Serves the readings for Prometheus when --metrics-listen asks for it.
    void StartMetrics();
    // The stop sequence: the metrics, the core (port, watchdog, pollers) and
    // the scheduler, waiting until every thread has ended. Safe to call more
    // than once.
    void OnClose();
    void OnSysCommand(int command);  // IDM_ABOUTBOX shows the About box

    // ---- TransmitterDlgPaint.cpp
    void SetUpControls();
    // Shows a reading (failures are silent) and hands it to the metrics.
    void OnDeviceReading(ReadingKind kind, int value);
    void PlaceScaleTexts();
    // Paints every button that shows the state of a flag.
    void PaintToggleButtons();

    // ---- TransmitterDlg.cpp
    // Each slider with the quantity it sets.
    std::array<std::pair<CSkinSlider*, Quantity>, 4> Sliders();
    // Paints a toggle or text button in `colour` (background slots only).
    void PaintButton(CImageButton& button, ColorRef colour);
    // The box of a connection that failed, or of the watchdog's warning.
    void ShowNotConnected();

    // ---- TransmitterDlgControls.cpp
    // A slider committed `position` (a line, page or thumb-release step).
    void OnHScroll(CSkinSlider* slider, Quantity quantity, int position);
    void OnSliderWheel(CSkinSlider* slider, Quantity quantity, int position);
    void StepQuantity(CSkinSlider* slider, Quantity quantity, int delta);
    void OnFreqUp();
    void OnFreqDown();
    void OnPwrUp();
    void OnPwrDown();
    void OnLineVolUp();
    void OnLineVolDown();
    void OnMicVolUp();
    void OnMicVolDown();
    void OnToggle(Function function);
    void OnLine();
    void OnMic();
    void OnEcho();
    void OnStMono();
    void OnBackLight();
    void OnPower();

    // ---- TransmitterDlgSchedule.cpp
    int LoadSchedule();
    void OnScheduledTask();
    void OnScheduledTaskDue(int operation);

    // ---- TransmitterDlgLock.cpp
    // Reads the password and locks the panel when there is one.
    void ReadPassword();
    // Enables (1) or disables (0) the controls the panel lock guards.
    void EnablePanelControls(int enable);
    void OnLockUnlock();
    void OnSet();
    void OnDeviceInfo();

    // A readout: which display shows a reading kind, and how.
    struct Readout;
    static std::span<const Readout> Readouts();
    static void ShowReading(CSegmentDisplay& display, const Readout& readout, int value);

    // Buttons.
    CImageButton m_btnMicDown, m_btnMicUp, m_btnLineDown, m_btnLineUp;
    CImageButton m_btnPwrUp, m_btnPwrDown, m_btnFreqUp, m_btnFreqDown;
    CImageButton m_btnSchedule;
    CImageButton m_btnDeviceInfo;
    CImageButton m_btnLock;
    CImageButton m_btnSet;
    CImageButton m_btnBackLight, m_btnStMono, m_btnEcho, m_btnMic, m_btnLine, m_btnPower;
    // Level meter, sliders, displays.
    CSkinProgress m_progressAudio;
    CSkinSliderTenths m_sliderPower;
    CSkinSlider m_sliderMicVol;
    CSkinSlider m_sliderLineVol;
    CSkinSliderTenths m_sliderFreq;
    CSegmentDisplay m_dispFreq, m_dispFwdPower, m_dispSwr, m_dispLineVol, m_dispMicVol, m_dispTemperature;

    QIcon m_hIcon;
    QFont m_fontStMono, m_fontButtons, m_fontDeviceType;
    static constexpr int kLevelMeterTop = 255;  // the level meter's full scale
    ColorRef m_clrIdle = Rgb(50, 50, 50);
    ColorRef m_clrActive = Rgb(255, 75, 0);

    PanelOptions m_options;
    CTransmitterCore m_core;
    CTaskSchedule m_schedule;
    int m_bUnlocked = 1;
    QString m_password;
    CSystemMenu m_systemMenu{this};            // carries the About entry
    std::unique_ptr<CPanelMetrics> m_metrics;  // with --metrics-listen only
    bool m_sliderFailShown = false;            // a slider's failure message is on screen
};
