// The main window's life: construction (binding each control to its command),
// start-up, and the one stop sequence every way of closing it runs.
#include "TransmitterDlg.h"

#include "Console.h"
#include "MainWindowTemplate.h"
#include "PanelMetrics.h"
#include "controls/Resources.h"
#include "dialogs/AboutDlg.h"

#include <Talvex.h>

#include <QCloseEvent>
#include <QDateTime>
#include <string>

CTransmitterDlg::CTransmitterDlg(const PanelOptions& options, QWidget* parent)
    : CDialog(kTransmitterDialogTemplate, parent), m_options(options), m_core(options.ports)
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_hIcon = LoadIconResource(IDR_MAINFRAME);
    // Queued: the About box runs its own loop, which should not run inside
    // the platform's handling of the menu's command.
    connect(&m_systemMenu, &CSystemMenu::commandChosen, this, &CTransmitterDlg::OnSysCommand, Qt::QueuedConnection);

    const std::pair<int, QWidget*> bindings[] = {
        {IDC_BTN_MICVOL_DOWN, &m_btnMicDown},
        {IDC_BTN_MICVOL_UP, &m_btnMicUp},
        {IDC_BTN_LINEVOL_DOWN, &m_btnLineDown},
        {IDC_BTN_LINEVOL_UP, &m_btnLineUp},
        {IDC_BTN_PWR_UP, &m_btnPwrUp},
        {IDC_BTN_PWR_DOWN, &m_btnPwrDown},
        {IDC_BTN_FREQ_UP, &m_btnFreqUp},
        {IDC_BTN_FREQ_DOWN, &m_btnFreqDown},
        {IDC_BTN_SCHEDULE, &m_btnSchedule},
        {IDC_BTN_DEVICEINFO, &m_btnDeviceInfo},
        {IDC_BTN_LOCK, &m_btnLock},
        {IDC_BTN_SET, &m_btnSet},
        {IDC_BTN_BACKLIGHT, &m_btnBackLight},
        {IDC_BTN_STMONO, &m_btnStMono},
        {IDC_BTN_ECHO, &m_btnEcho},
        {IDC_BTN_MIC, &m_btnMic},
        {IDC_BTN_LINE, &m_btnLine},
        {IDC_BTN_POWER, &m_btnPower},
        {IDC_PROGRESS_AUDIO, &m_progressAudio},
        {IDC_SLIDER_POWER, &m_sliderPower},
        {IDC_SLIDER_MICVOL, &m_sliderMicVol},
        {IDC_SLIDER_LINEVOL, &m_sliderLineVol},
        {IDC_SLIDER_FREQ, &m_sliderFreq},
        {IDC_DISP_FREQ, &m_dispFreq},
        {IDC_DISP_FWDPOWER, &m_dispFwdPower},
        {IDC_DISP_SWR, &m_dispSwr},
        {IDC_DISP_LINEVOL, &m_dispLineVol},
        {IDC_DISP_MICVOL, &m_dispMicVol},
        {IDC_DISP_TEMPERATURE, &m_dispTemperature},
    };
    for (const auto& [id, control] : bindings) {
        Bind(id, control);
    }

    for (const auto& [slider, quantity] : Sliders()) {
        connect(slider, &CSkinSlider::valueCommitted, this,
                [this, slider = slider, quantity = quantity](int position) { OnHScroll(slider, quantity, position); });
        // Queued: the step is sent after the wheel event has been handled, and
        // a step still queued when the window stops is dropped.
        connect(
            slider, &CSkinSlider::wheelStep, this,
            [this, slider = slider, quantity = quantity](int position) {
                if (!m_core.IsStopped()) {
                    OnSliderWheel(slider, quantity, position);
                }
            },
            Qt::QueuedConnection);
    }
    const std::pair<CImageButton*, void (CTransmitterDlg::*)()> clicks[] = {
        {&m_btnFreqUp, &CTransmitterDlg::OnFreqUp},    {&m_btnFreqDown, &CTransmitterDlg::OnFreqDown},
        {&m_btnPwrUp, &CTransmitterDlg::OnPwrUp},      {&m_btnPwrDown, &CTransmitterDlg::OnPwrDown},
        {&m_btnLineUp, &CTransmitterDlg::OnLineVolUp}, {&m_btnLineDown, &CTransmitterDlg::OnLineVolDown},
        {&m_btnMicUp, &CTransmitterDlg::OnMicVolUp},   {&m_btnMicDown, &CTransmitterDlg::OnMicVolDown},
        {&m_btnPower, &CTransmitterDlg::OnPower},      {&m_btnLine, &CTransmitterDlg::OnLine},
        {&m_btnMic, &CTransmitterDlg::OnMic},          {&m_btnEcho, &CTransmitterDlg::OnEcho},
        {&m_btnStMono, &CTransmitterDlg::OnStMono},    {&m_btnBackLight, &CTransmitterDlg::OnBackLight},
        {&m_btnSet, &CTransmitterDlg::OnSet},          {&m_btnDeviceInfo, &CTransmitterDlg::OnDeviceInfo},
        {&m_btnLock, &CTransmitterDlg::OnLockUnlock},  {&m_btnSchedule, &CTransmitterDlg::OnScheduledTask},
    };
    for (const auto& [button, handler] : clicks) {
        connect(button, &QPushButton::clicked, this, handler);
    }

    connect(&m_core, &CTransmitterCore::readingArrived, this, &CTransmitterDlg::OnDeviceReading);
    connect(&m_core, &CTransmitterCore::watchdogWarning, this, &CTransmitterDlg::ShowNotConnected);
    connect(&m_core, &CTransmitterCore::stateChanged, this, [this] {
        if (!m_core.DeviceType().isEmpty()) {
            SetDlgItemText(IDC_STATIC_DEVTYPE, QStringLiteral("Vemra-") + m_core.DeviceType());
        }
    });
    connect(&m_core, &CTransmitterCore::portOpenFailed, this, [](const QString& port, int reason) {
        console::Error(QStringLiteral("TalvexPanel: cannot open port %1: %2\n")
                           .arg(port, QString::fromLatin1(GetOpenErrorText(reason))));
    });
    // Queued: the scheduler thread emits it, and the device is driven here.
    connect(&m_schedule, &CTaskSchedule::taskDue, this, &CTransmitterDlg::OnScheduledTaskDue, Qt::QueuedConnection);
}

CTransmitterDlg::~CTransmitterDlg()
{
    // However the window ended, nothing it started may outlive it.
    OnClose();
}

bool CTransmitterDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    setWindowIcon(m_hIcon);
    m_systemMenu.Install(this);

    m_core.EnumSerialPorts();
    if (!ConnectDevice()) {
        EndDialog(0);
        return false;
    }

    m_core.ReadDeviceSettings(true);
    ReadPassword();
    SetUpControls();

    if (!LoadSchedule()) {
        const std::int64_t now = QDateTime::currentSecsSinceEpoch();
        for (ScheduledTask& task : m_schedule.m_tasks) {
            task = ScheduledTask{now, TASK_NOTHING};
        }
    }

    StartMetrics();
    StartWorkerThreads();
    return true;
}

bool CTransmitterDlg::ConnectDevice()
{
    if (m_core.ConnectDevice()) {
        return true;
    }
    ShowNotConnected();
    return false;
}

void CTransmitterDlg::StartWorkerThreads()
{
    m_schedule.StartThread();
    m_core.Start();
}

void CTransmitterDlg::StartMetrics()
{
    if (m_options.metricsListen.isEmpty()) {
        return;
    }
    m_metrics = std::make_unique<CPanelMetrics>();
    std::string error;
    if (!m_metrics->Start(m_options.metricsListen.toStdString(), &error)) {
        // The panel runs on: the transmitter matters more than its metrics.
        console::Error(QStringLiteral("TalvexPanel: cannot serve metrics: %1\n").arg(QString::fromStdString(error)));
        m_metrics.reset();
    }
}

void CTransmitterDlg::OnClose()
{
    if (m_core.IsStopped()) {
        return;
    }
    if (m_metrics) {
        m_metrics->Stop();
    }
    m_core.Stop();
    m_schedule.StopThread();
}

void CTransmitterDlg::OnOK()
{
    OnClose();
    CDialog::OnOK();
}

void CTransmitterDlg::OnCancel()
{
    OnClose();
    CDialog::OnCancel();
}

void CTransmitterDlg::OnSysCommand(int command)
{
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

bool CTransmitterDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    return m_systemMenu.NativeEvent(eventType, message, result) || CDialog::nativeEvent(eventType, message, result);
}

void CTransmitterDlg::closeEvent(QCloseEvent* event)
{
    OnClose();
    // The default close processing: the window ends as if cancelled.
    OnCancel();
    event->accept();
}
