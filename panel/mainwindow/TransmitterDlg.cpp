#include "TransmitterDlg.h"

#include "Console.h"
#include "MainWindowTemplate.h"
#include "PanelMetrics.h"
#include "controls/Resources.h"
#include "device/DeviceAccess.h"
#include "dialogkit/MessageBox.h"
#include "dialogkit/PanelMessage.h"
#include "dialogs/AboutDlg.h"

#include <Talvex.h>

#include <QCloseEvent>
#include <QDateTime>
#include <QFontMetrics>
#include <QTimerEvent>
#include <string>

namespace {

constexpr int kReplyDelay = TALVEX_REPLY_DELAY_MS;
constexpr int kWatchdogPeriodMs = 10000;
constexpr int kWatchdogTimerId = 1;
constexpr int kWatchdogFailuresToWarn = 3;
constexpr int kLevelMeterTop = 255;

const char* const kNotConnected = "The Device is not connected.";

constexpr ColorRef kDisplayColour = Rgb(150, 150, 255);
constexpr ColorRef kDeviceTypeColour = Rgb(0, 128, 0);

// A bold font whose character cell (ascent plus descent) is `cellHeight`
// pixels high, the way the original platform sizes a font by a positive height.
QFont CellHeightFont(const char* face, int cellHeight)
{
    QFont font(QString::fromLatin1(face));
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Bold);
    int pixelSize = cellHeight;
    font.setPixelSize(pixelSize);
    while (pixelSize > 1 && QFontMetrics(font).height() > cellHeight) {
        font.setPixelSize(--pixelSize);
    }
    return font;
}

}  // namespace

// The readouts: which display shows a reading, with which format, and whether
// the value is in tenths.
struct CTransmitterDlg::Readout {
    ReadingKind kind;
    CSegmentDisplay CTransmitterDlg::*display;
    const char* format;
    bool tenths;
};

std::span<const CTransmitterDlg::Readout> CTransmitterDlg::Readouts()
{
    static constexpr Readout kReadouts[] = {
        {ReadingKind::Frequency, &CTransmitterDlg::m_dispFreq, "%3.1lf", true},
        {ReadingKind::ForwardPower, &CTransmitterDlg::m_dispFwdPower, "%2.1lf", true},
        {ReadingKind::Swr, &CTransmitterDlg::m_dispSwr, "%2.1lf", true},
        {ReadingKind::LineVolume, &CTransmitterDlg::m_dispLineVol, "%02d", false},
        {ReadingKind::MicVolume, &CTransmitterDlg::m_dispMicVol, "%02d", false},
        {ReadingKind::Temperature, &CTransmitterDlg::m_dispTemperature, "%02d", false},
    };
    return kReadouts;
}

void CTransmitterDlg::ShowReading(CSegmentDisplay& display, const Readout& readout, int value)
{
    if (readout.tenths) {
        display.FormatText(readout.format, value * 0.1);
    } else {
        display.FormatText(readout.format, value);
    }
}

CTransmitterDlg::CTransmitterDlg(const PanelOptions& options, QWidget* parent)
    : CDialog(kTransmitterDialogTemplate, parent), m_options(options)
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

    for (CSkinSlider* slider : {static_cast<CSkinSlider*>(&m_sliderFreq), static_cast<CSkinSlider*>(&m_sliderPower),
                                &m_sliderLineVol, &m_sliderMicVol}) {
        connect(slider, &CSkinSlider::valueCommitted, this,
                [this, slider](int position) { OnHScroll(slider, position); });
        // Queued: the step is sent after the wheel event has been handled, and
        // a step still queued when the window stops is dropped.
        connect(
            slider, &CSkinSlider::wheelStep, this,
            [this, slider](int position) {
                if (!m_stopped) {
                    OnSliderWheel(slider, position);
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

    EnumSerialPorts();
    if (!ConnectDevice()) {
        EndDialog(0);
        return false;
    }

    ReadDeviceSettings(true);

    ReadPassword();
    if (m_password.isEmpty()) {
        m_bUnlocked = 1;
    } else {
        m_bUnlocked = 0;
        EnablePanelControls(0);
    }

    SetUpControls();

    m_schedule.m_hWnd = this;
    if (!LoadSchedule()) {
        const std::int64_t now = QDateTime::currentSecsSinceEpoch();
        for (ScheduledTask& task : m_schedule.m_tasks) {
            task = ScheduledTask{now, TASK_NOTHING};
        }
    }

    StartMetrics();
    StartWorkerThreads();
    m_watchdogTimer = startTimer(kWatchdogPeriodMs);
    return true;
}

void CTransmitterDlg::ReadDeviceSettings(bool withPowerBit)
{
    DeviceAccess lock(g_csDevice);
    char type[20] = {};
    if (GetDevType(type, sizeof type, kReplyDelay)) {
        SetDlgItemText(IDC_STATIC_DEVTYPE, QStringLiteral("Vemra-") + QString::fromLatin1(type));
    }
    unsigned char state = 0;
    if (GetDevState(&state, kReplyDelay)) {
        // Flags are only cleared here: each starts as "off".
        if (withPowerBit && !(state & TALVEX_STATE_STANDBY)) {
            m_bPowerOff = 0;
        }
        if (state & TALVEX_STATE_LINE_ON) {
            m_bLineOff = 0;
        }
        if (!(state & TALVEX_STATE_MIC_OFF)) {
            m_bMicOff = 0;
        }
        if (!(state & TALVEX_STATE_ECHO_OFF)) {
            m_bEchoOff = 0;
        }
        if (!(state & TALVEX_STATE_MONO)) {
            m_bMono = 0;
        }
    }
    int value = 0;
    if (GetFMFreq(&value, kReplyDelay)) {
        m_freq = value;
    }
    if (GetLaunchPWR(&value, kReplyDelay)) {
        m_power = value;
    }
    if (GetLineVol(&value, kReplyDelay)) {
        m_lineVol = value;
    }
    if (GetMicVol(&value, kReplyDelay)) {
        m_micVol = value;
    }
}

void CTransmitterDlg::SetUpControls()
{
    for (const Readout& readout : Readouts()) {
        CSegmentDisplay& display = this->*readout.display;
        display.SetBackColor(Rgb(0, 0, 0));
        display.SetSegmentColors(kDisplayColour, kDisplayColour);
        ShowReading(display, readout, 0);
        display.ModifySegmentStyle(0, SEGSTYLE_KEEP_ASPECT | SEGSTYLE_HIDE_UNLIT);
    }

    m_fontStMono = CellHeightFont("Times New Roman", 30);
    m_fontButtons = CellHeightFont("Times New Roman", 16);
    m_fontDeviceType = CellHeightFont("Times New Roman", 50);
    if (QWidget* stMono = Control(IDC_STATIC_STMONO)) {
        stMono->setFont(m_fontStMono);
    }
    SetDlgItemText(IDC_STATIC_STMONO, QStringLiteral("MONO"));
    if (QWidget* deviceType = Control(IDC_STATIC_DEVTYPE)) {
        deviceType->setFont(m_fontDeviceType);
        QPalette palette = deviceType->palette();
        palette.setColor(QPalette::WindowText, ToQColor(kDeviceTypeColour));
        deviceType->setPalette(palette);
    }

    struct SliderSetup {
        CSkinSlider* slider;
        int minimum, maximum, position;
    };
    const SliderSetup sliders[] = {
        {&m_sliderFreq, TALVEX_FREQ_MIN, TALVEX_FREQ_MAX, m_freq},
        {&m_sliderPower, TALVEX_POWER_MIN, TALVEX_POWER_MAX, m_power},
        {&m_sliderLineVol, TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX, m_lineVol},
        {&m_sliderMicVol, TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX, m_micVol},
    };
    for (const SliderSetup& s : sliders) {
        // The scale is always twenty tick spaces, whatever the range.
        s.slider->SetRange(s.minimum, s.maximum);
        s.slider->SetPos(s.position);
    }

    PlaceScaleTexts();

    m_progressAudio.SetRange(0, kLevelMeterTop);
    m_progressAudio.SetPos(0);

    for (CImageButton* button : {&m_btnPower, &m_btnLine, &m_btnMic, &m_btnEcho, &m_btnStMono, &m_btnBackLight,
                                 &m_btnSet, &m_btnLock, &m_btnDeviceInfo, &m_btnSchedule}) {
        button->setFont(m_fontButtons);
    }
    PaintButton(m_btnPower, m_bPowerOff ? m_clrIdle : m_clrActive);
    PaintToggleButtons();
    PaintButton(m_btnSet, m_clrIdle);
    PaintButton(m_btnDeviceInfo, m_clrIdle);
    PaintButton(m_btnSchedule, m_clrIdle);

    for (CImageButton* up : {&m_btnFreqUp, &m_btnPwrUp, &m_btnLineUp, &m_btnMicUp}) {
        up->LoadImages(IDB_TRIANGLE_UP, Rgb(255, 255, 255), 0, 0);
    }
    for (CImageButton* down : {&m_btnFreqDown, &m_btnPwrDown, &m_btnLineDown, &m_btnMicDown}) {
        down->LoadImages(IDB_TRIANGLE_DOWN, Rgb(255, 255, 255), 0, 0);
    }
}

void CTransmitterDlg::PlaceScaleTexts()
{
    // The channel rectangle spans the thumb's centre moved left by the first
    // tick's offset; the texts are centred under the thumb at either end.
    constexpr int kFirstTickOffset = 5;
    for (const ScaleText& scale : kScaleTexts) {
        const auto* slider = qobject_cast<const CSkinSlider*>(Control(scale.sliderId));
        QWidget* text = Control(scale.id);
        if (!slider || !text) {
            continue;
        }
        const QRect channel = slider->ChannelRect();
        const int first = channel.left() + kFirstTickOffset;
        const int last = first + channel.width();
        const int centre = scale.end == ScaleEnd::Minimum   ? first
                           : scale.end == ScaleEnd::Maximum ? last
                                                            : (first + last) / 2;
        text->move(slider->x() + centre - text->width() / 2, text->y());
    }
}

void CTransmitterDlg::PaintToggleButtons()
{
    PaintButton(m_btnLine, m_bLineOff ? m_clrIdle : m_clrActive);
    PaintButton(m_btnMic, m_bMicOff ? m_clrIdle : m_clrActive);
    PaintButton(m_btnEcho, m_bEchoOff ? m_clrIdle : m_clrActive);
    PaintButton(m_btnStMono, m_bMono ? m_clrIdle : m_clrActive);
    PaintButton(m_btnBackLight, m_bBackLightOff ? m_clrIdle : m_clrActive);
    PaintButton(m_btnLock, m_bUnlocked ? m_clrIdle : m_clrActive);
}

void CTransmitterDlg::PaintButton(CImageButton& button, ColorRef colour)
{
    button.SetStateColor(IBC_BK_NORMAL, colour, false);
    button.SetStateColor(IBC_BK_FOCUS, colour, false);
    button.SetStateColor(IBC_BK_ACTIVE, colour, true);
}

QWidget* CTransmitterDlg::Control(int id) const { return GetDlgItem(id); }

void CTransmitterDlg::StartWorkerThreads()
{
    m_schedule.StartThread();
    m_statusPoller.Start(this);
    m_rtVolPoller.Start(this);
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

void CTransmitterDlg::OnDeviceReading(ReadingKind kind, int reading)
{
    if (m_metrics) {
        m_metrics->OnReading(kind, reading,
                             {m_bPowerOff != 0, m_bEchoOff == 0, m_bLineOff == 0, m_bMicOff == 0, m_power});
    }
    if (kind == ReadingKind::Failure) {
        return;  // failures are silent on screen
    }
    if (kind == ReadingKind::Level) {
        m_progressAudio.SetPos(static_cast<std::int16_t>(reading > kLevelMeterTop ? kLevelMeterTop : reading));
        return;
    }
    if (kind == ReadingKind::Mono) {
        SetDlgItemText(IDC_STATIC_STMONO, reading ? QStringLiteral("MONO") : QStringLiteral("ST"));
        return;
    }
    for (const Readout& readout : Readouts()) {
        if (readout.kind == kind) {
            ShowReading(this->*readout.display, readout, reading);
            return;
        }
    }
}

void CTransmitterDlg::OnTimer(int id)
{
    if (m_watchdogWarning || id != kWatchdogTimerId) {
        return;
    }
    {
        DeviceAccess lock(g_csDevice);
        int temperature = 0;
        if (!GetTemperature(&temperature, kReplyDelay)) {
            ++m_watchdogFailures;
        }
    }
    if (m_watchdogFailures >= kWatchdogFailuresToWarn) {
        m_watchdogWarning = true;
        PanelMessageBox(this, QString::fromLatin1(kNotConnected), QStringLiteral("Error"));
        m_watchdogFailures = 0;
        m_watchdogWarning = false;
    }
}

void CTransmitterDlg::OnClose()
{
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    if (m_metrics) {
        m_metrics->Stop();
    }
    if (m_watchdogTimer) {
        killTimer(m_watchdogTimer);
        m_watchdogTimer = 0;
    }
    // With the port closed every device call fails at once, so no thread can
    // stay caught in a long transaction.
    {
        DeviceAccess lock(g_csDevice);
        CloseComm();
    }
    m_schedule.StopThread();
    m_rtVolPoller.m_stopEvent.Set();
    m_statusPoller.m_stopEvent.Set();
    // Each poller ends at its next wait; wait for that rather than for a
    // fixed time, so nothing can outlive the objects it uses.
    m_rtVolPoller.Stop();
    m_statusPoller.Stop();
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

bool CTransmitterDlg::event(QEvent* event)
{
    // Readings and due tasks come from other threads: nothing of the event,
    // not even its type, is read before the hand-over.
    if (const PanelMessage* message = AsPanelMessage(event)) {
        const int type = message->message();
        // Once the window has stopped, late messages are dropped, as they
        // would be for a window that is gone.
        if (!m_stopped) {
            if (type == WM_DEVICE_READING) {
                OnDeviceReading(static_cast<ReadingKind>(message->wParam()),
                                static_cast<std::int32_t>(message->lParam()));
            } else {
                OnScheduledTaskDue(message->wParam(), message->lParam());
            }
        }
        return true;
    }
    return CDialog::event(event);
}

void CTransmitterDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_watchdogTimer) {
        OnTimer(kWatchdogTimerId);
        return;
    }
    CDialog::timerEvent(event);
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
