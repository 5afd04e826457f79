#pragma once
// The main window: every control of the panel, the device-state members that
// the handlers keep in step with the transmitter, the pollers and the
// schedule. Its member functions are spread over files by concern:
//   TransmitterDlg.cpp          construction, initialisation, layout, painting
//                               buttons, readings, watchdog, closing
//   TransmitterDlgConnect.cpp   port discovery and connection
//   TransmitterDlgControls.cpp  sliders, step buttons and toggles
//   TransmitterDlgSchedule.cpp  loading, editing and running the schedule
//   TransmitterDlgLock.cpp      panel lock, protection and device information

#include "PanelOptions.h"
#include "SystemMenu.h"
#include "device/DevicePoller.h"
#include "device/Readings.h"
#include "dialogkit/ControlIds.h"
#include "dialogkit/Dialog.h"
#include "schedule/TaskSchedule.h"

#include "controls/ImageButton.h"
#include "controls/SkinProgress.h"
#include "controls/SkinSlider.h"
#include "controls/SkinSliderTenths.h"
#include "controls/segment/SegmentDisplay.h"

#include <Talvex.h>

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <cstdint>
#include <map>
#include <memory>
#include <span>

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

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // The handlers and the state are private. The tests reach them through
    // one derived class of their own, CTransmitterDlgTestSeam
    // (tests/panel/support/TransmitterDlgTestSeam.h), which names each member
    // they use: moving an internal means changing that one list.
    friend class CTransmitterDlgTestSeam;

    // Paints a toggle or text button in `colour` (background slots only).
    void PaintButton(CImageButton& button, ColorRef colour);
    // Enables (1) or disables (0) the controls the panel lock guards.
    void EnablePanelControls(int enable);

    // ---- Connection
    void EnumSerialPorts();
    int ConnectDevice();
    // The per-port probe shared by connecting and the scheduled start-up: opens
    // each of m_portNames in order (57600 8N1) and sends StartUp; the first port
    // that answers (an acknowledgement or a refusal) stays open. The caller
    // holds the device mutex. Shows nothing.
    bool ProbePortList();

    // ---- Background work
    void StartWorkerThreads();
    // Serves the readings for Prometheus when --metrics-listen asks for it.
    void StartMetrics();
    void OnDeviceReading(ReadingKind kind, int value);
    void OnTimer(int id);
    // The stop sequence: close the port, stop the scheduler and the pollers,
    // and wait until every thread has ended. Safe to call more than once.
    void OnClose();

    // ---- Control handlers
    void OnHScroll(CSkinSlider* slider, int position);
    void OnSliderWheel(CSkinSlider* slider, int position);
    void OnFreqUp();
    void OnFreqDown();
    void OnPwrUp();
    void OnPwrDown();
    void OnLineVolUp();
    void OnLineVolDown();
    void OnMicVolUp();
    void OnMicVolDown();
    void OnPower();
    void OnLine();
    void OnMic();
    void OnEcho();
    void OnStMono();
    void OnBackLight();

    // ---- Schedule
    int LoadSchedule();
    void OnScheduledTask();
    void OnScheduledTaskDue(std::intptr_t operation, std::intptr_t unused);

    // ---- Protection, device information, lock
    void OnSet();
    void OnDeviceInfo();
    void OnLockUnlock();
    void ReadPassword();

    // The window's menu commands: IDM_ABOUTBOX shows the About box.
    void OnSysCommand(int command);

    // Table rows of the control handlers (defined with them): a quantity set
    // by a slider and its step buttons, and an on/off function.
    struct SliderQuantity;
    struct Toggle;
    // A readout: which display shows a reading kind, and how.
    struct Readout;
    static std::span<const SliderQuantity> Quantities();
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

    // Last values the transmitter accepted, in device units.
    int m_freq = TALVEX_FREQ_MIN;    // 0.1 MHz
    int m_power = TALVEX_POWER_MIN;  // 0.1 W
    int m_lineVol = TALVEX_LINE_VOL_MIN;
    int m_micVol = TALVEX_MIC_VOL_MIN;

    CDevicePoller m_statusPoller{kStatusPeriod, ReadStatus};
    CDevicePoller m_rtVolPoller{kLevelPeriod, ReadLevel};
    CTaskSchedule m_schedule;

    QStringList m_portNames;

    // Toggle flags: the value the next press sends; 1 = the function is off now.
    int m_bPowerOff = 1;
    int m_bLineOff = 1;
    int m_bMicOff = 1;
    int m_bEchoOff = 1;
    int m_bMono = 1;
    int m_bBackLightOff = 0;
    int m_bUnlocked = 1;
    QString m_password;

    ColorRef m_clrIdle = Rgb(50, 50, 50);
    ColorRef m_clrActive = Rgb(255, 75, 0);

    // Reads device type, state flags, frequency, power and volumes under the
    // device mutex; `withPowerBit` also takes the standby flag from the state.
    void ReadDeviceSettings(bool withPowerBit);
    void SetUpControls();
    void PlaceScaleTexts();
    void PaintToggleButtons();
    const SliderQuantity* FindSliderQuantity(const CSkinSlider* slider) const;
    bool SetQuantity(const SliderQuantity& quantity, int value);
    void StepQuantity(int sliderId, int delta);
    void OnToggle(const Toggle& toggle);

    PanelOptions m_options;
    CSystemMenu m_systemMenu;                  // carries the About entry
    std::unique_ptr<CPanelMetrics> m_metrics;  // with --metrics-listen only
    int m_watchdogTimer = 0;                   // Qt's id of the 10-second watchdog timer
    bool m_stopped = false;                    // the stop sequence has run
    int m_watchdogFailures = 0;                // failed checks since start-up or the last warning
    bool m_watchdogWarning = false;            // the watchdog's warning is on screen
    bool m_sliderFailShown = false;            // a slider's failure message is on screen
};
