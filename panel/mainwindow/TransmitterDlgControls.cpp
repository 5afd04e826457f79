#include "TransmitterDlg.h"

#include "device/DeviceAccess.h"
#include "dialogkit/MessageBox.h"

#include <Talvex.h>

namespace {
constexpr int kReplyDelay = TALVEX_REPLY_DELAY_MS;

QString ErrorCaption() { return QStringLiteral("Error"); }
}  // namespace

// A quantity set through a slider, its wheel step and its two step buttons.
struct CTransmitterDlg::SliderQuantity {
    int sliderId;
    int minimum;
    int maximum;
    int CTransmitterDlg::*member;  // the value the transmitter last accepted
    int (*set)(int value, int replyDelayMs);
    const char* failText;
};

std::span<const CTransmitterDlg::SliderQuantity> CTransmitterDlg::Quantities()
{
    static constexpr SliderQuantity kQuantities[] = {
        {IDC_SLIDER_FREQ, TALVEX_FREQ_MIN, TALVEX_FREQ_MAX, &CTransmitterDlg::m_freq, SetFMFreq, "Set Freq Fail"},
        {IDC_SLIDER_POWER, TALVEX_POWER_MIN, TALVEX_POWER_MAX, &CTransmitterDlg::m_power, SetLaunchPWR, "Set Pwr Fail"},
        {IDC_SLIDER_LINEVOL, TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX, &CTransmitterDlg::m_lineVol, SetLINEVol,
         "Set Line Volume Fail"},
        {IDC_SLIDER_MICVOL, TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX, &CTransmitterDlg::m_micVol, SetMICVol,
         "Set Mic Volume Fail"},
    };
    return kQuantities;
}

// An on/off function: the flag holds the value the next press sends.
struct CTransmitterDlg::Toggle {
    int CTransmitterDlg::*flag;
    CImageButton CTransmitterDlg::*button;
    int (*set)(int on, int replyDelayMs);
    const char* onFailText;   // the press tried to switch the function on
    const char* offFailText;  // the press tried to switch it off
};

const CTransmitterDlg::SliderQuantity* CTransmitterDlg::FindSliderQuantity(const CSkinSlider* slider) const
{
    // Only compared by address with this window's own sliders.
    const std::pair<const CSkinSlider*, int> sliders[] = {
        {&m_sliderFreq, IDC_SLIDER_FREQ},
        {&m_sliderPower, IDC_SLIDER_POWER},
        {&m_sliderLineVol, IDC_SLIDER_LINEVOL},
        {&m_sliderMicVol, IDC_SLIDER_MICVOL},
    };
    for (const auto& [own, id] : sliders) {
        if (own == slider) {
            for (const SliderQuantity& q : Quantities()) {
                if (q.sliderId == id) {
                    return &q;
                }
            }
        }
    }
    return nullptr;
}

bool CTransmitterDlg::SetQuantity(const SliderQuantity& quantity, int value)
{
    DeviceAccess lock(g_csDevice);
    return quantity.set(value, kReplyDelay) != 0;
}

void CTransmitterDlg::OnHScroll(CSkinSlider* slider, int position)
{
    const SliderQuantity* quantity = FindSliderQuantity(slider);
    if (!quantity) {
        return;
    }
    int& accepted = this->*quantity->member;
    if (position == accepted) {
        return;
    }
    if (quantity->sliderId == IDC_SLIDER_FREQ && m_sliderFailShown) {
        return;
    }
    if (SetQuantity(*quantity, position)) {
        accepted = position;
        return;
    }
    m_sliderFailShown = true;
    PanelMessageBox(this, QString::fromLatin1(quantity->failText), ErrorCaption());
    m_sliderFailShown = false;
    slider->SetPos(accepted);
}

void CTransmitterDlg::OnSliderWheel(CSkinSlider* slider, int position)
{
    const SliderQuantity* quantity = FindSliderQuantity(slider);
    if (!quantity) {
        return;
    }
    int& accepted = this->*quantity->member;
    if (SetQuantity(*quantity, position)) {
        accepted = position;
        return;
    }
    PanelMessageBox(this, QString::fromLatin1(quantity->failText), ErrorCaption());
    slider->SetPos(accepted);
}

void CTransmitterDlg::StepQuantity(int sliderId, int delta)
{
    const SliderQuantity* quantity = nullptr;
    for (const SliderQuantity& q : Quantities()) {
        if (q.sliderId == sliderId) {
            quantity = &q;
        }
    }
    if (!quantity) {
        return;
    }
    int& accepted = this->*quantity->member;
    // Each button wraps only at its own end: a value the transmitter
    // reported below the range steps up into it, not round to the top.
    int next = accepted + delta;
    if (delta > 0 && next > quantity->maximum) {
        next = quantity->minimum;
    } else if (delta < 0 && next < quantity->minimum) {
        next = quantity->maximum;
    }
    if (!SetQuantity(*quantity, next)) {
        PanelMessageBox(this, QString::fromLatin1(quantity->failText), ErrorCaption());
        return;
    }
    if (auto* slider = qobject_cast<CSkinSlider*>(Control(sliderId))) {
        slider->SetPos(next);
    }
    accepted = next;
}

void CTransmitterDlg::OnFreqUp() { StepQuantity(IDC_SLIDER_FREQ, +1); }
void CTransmitterDlg::OnFreqDown() { StepQuantity(IDC_SLIDER_FREQ, -1); }
void CTransmitterDlg::OnPwrUp() { StepQuantity(IDC_SLIDER_POWER, +1); }
void CTransmitterDlg::OnPwrDown() { StepQuantity(IDC_SLIDER_POWER, -1); }
void CTransmitterDlg::OnLineVolUp() { StepQuantity(IDC_SLIDER_LINEVOL, +1); }
void CTransmitterDlg::OnLineVolDown() { StepQuantity(IDC_SLIDER_LINEVOL, -1); }
void CTransmitterDlg::OnMicVolUp() { StepQuantity(IDC_SLIDER_MICVOL, +1); }
void CTransmitterDlg::OnMicVolDown() { StepQuantity(IDC_SLIDER_MICVOL, -1); }

void CTransmitterDlg::OnToggle(const Toggle& toggle)
{
    int& flag = this->*toggle.flag;
    bool ok = false;
    {
        DeviceAccess lock(g_csDevice);
        ok = toggle.set(flag, kReplyDelay) != 0;
    }
    if (ok) {
        flag = flag ? 0 : 1;
    } else {
        PanelMessageBox(this, QString::fromLatin1(flag ? toggle.onFailText : toggle.offFailText), ErrorCaption());
    }
    PaintButton(this->*toggle.button, flag ? m_clrIdle : m_clrActive);
}

void CTransmitterDlg::OnLine()
{
    OnToggle({&CTransmitterDlg::m_bLineOff, &CTransmitterDlg::m_btnLine, SetLINE, "Line On Fail", "Line Off Fail"});
}

void CTransmitterDlg::OnMic()
{
    OnToggle({&CTransmitterDlg::m_bMicOff, &CTransmitterDlg::m_btnMic, SetMIC, "Mic On Fail", "Mic Off Fail"});
}

void CTransmitterDlg::OnEcho()
{
    OnToggle({&CTransmitterDlg::m_bEchoOff, &CTransmitterDlg::m_btnEcho, SetRBT, "Echo On Fail", "Echo Off Fail"});
}

void CTransmitterDlg::OnStMono()
{
    OnToggle(
        {&CTransmitterDlg::m_bMono, &CTransmitterDlg::m_btnStMono, SetSoundChannel, "Set ST Fail", "Set Mono Fail"});
}

void CTransmitterDlg::OnBackLight()
{
    OnToggle({&CTransmitterDlg::m_bBackLightOff, &CTransmitterDlg::m_btnBackLight, SetBackLight, "Open Backlight Fail",
              "Close Backlight Fail"});
}

void CTransmitterDlg::OnPower()
{
    // What the press tried to do. The message box of a failed reconnection
    // runs an event loop in which a scheduled task can change m_bPowerOff;
    // the outcome must still be judged against the press, or a start-up
    // that just connected would be taken for a failed power-off and closed.
    const bool wasOff = m_bPowerOff != 0;
    bool ok = false;
    if (!wasOff) {
        DeviceAccess lock(g_csDevice);
        ok = ShutDown(kReplyDelay) != 0;
    } else {
        bool open = false;
        {
            DeviceAccess lock(g_csDevice);
            open = IsOpen() != 0;
            if (open) {
                ok = StartUp(kReplyDelay) != 0;
                if (!ok) {
                    CloseComm();  // the next press reconnects from the port list
                }
            }
        }
        if (!open) {
            EnumSerialPorts();
            ok = ConnectDevice() != 0;
            if (ok) {
                ReadDeviceSettings(false);
                PaintToggleButtons();
            }
        }
    }

    if (ok) {
        m_bPowerOff = wasOff ? 0 : 1;
    } else {
        QString text;
        if (wasOff) {
            text = QStringLiteral("Power On Fail");
        } else {
            text = QStringLiteral("Power Off Fail");
            {
                DeviceAccess lock(g_csDevice);
                CloseComm();
            }
            m_bPowerOff = 1;
        }
        PanelMessageBox(this, text, ErrorCaption());
    }
    PaintButton(m_btnPower, m_bPowerOff ? m_clrIdle : m_clrActive);
}
