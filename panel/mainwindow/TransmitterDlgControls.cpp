// The operator's controls: each press or committed move is one command of the
// core, made while the operator waits; a failure is shown, and the control
// returns to what the transmitter last accepted.
#include "TransmitterDlg.h"

#include "dialogkit/MessageBox.h"

namespace {
void ShowFailure(QWidget* owner, const char* text)
{
    PanelMessageBox(owner, QString::fromLatin1(text), QStringLiteral("Error"));
}
}  // namespace

void CTransmitterDlg::OnHScroll(CSkinSlider* slider, Quantity quantity, int position)
{
    if (position == m_core.Accepted(quantity)) {
        return;
    }
    // While the frequency's failure is on screen, a release of its slider in
    // the box's own loop is not sent again.
    if (quantity == Quantity::Frequency && m_sliderFailShown) {
        return;
    }
    const CTransmitterCore::Result result = m_core.SetQuantity(quantity, position);
    if (result.ok) {
        return;
    }
    m_sliderFailShown = true;
    ShowFailure(this, result.failText);
    m_sliderFailShown = false;
    slider->SetPos(m_core.Accepted(quantity));
}

void CTransmitterDlg::OnSliderWheel(CSkinSlider* slider, Quantity quantity, int position)
{
    const CTransmitterCore::Result result = m_core.SetQuantity(quantity, position);
    if (result.ok) {
        return;
    }
    ShowFailure(this, result.failText);
    slider->SetPos(m_core.Accepted(quantity));
}

void CTransmitterDlg::StepQuantity(CSkinSlider* slider, Quantity quantity, int delta)
{
    const CTransmitterCore::Result result = m_core.StepQuantity(quantity, delta);
    if (!result.ok) {
        ShowFailure(this, result.failText);
        return;
    }
    slider->SetPos(m_core.Accepted(quantity));
}

void CTransmitterDlg::OnFreqUp() { StepQuantity(&m_sliderFreq, Quantity::Frequency, +1); }
void CTransmitterDlg::OnFreqDown() { StepQuantity(&m_sliderFreq, Quantity::Frequency, -1); }
void CTransmitterDlg::OnPwrUp() { StepQuantity(&m_sliderPower, Quantity::Power, +1); }
void CTransmitterDlg::OnPwrDown() { StepQuantity(&m_sliderPower, Quantity::Power, -1); }
void CTransmitterDlg::OnLineVolUp() { StepQuantity(&m_sliderLineVol, Quantity::LineVolume, +1); }
void CTransmitterDlg::OnLineVolDown() { StepQuantity(&m_sliderLineVol, Quantity::LineVolume, -1); }
void CTransmitterDlg::OnMicVolUp() { StepQuantity(&m_sliderMicVol, Quantity::MicVolume, +1); }
void CTransmitterDlg::OnMicVolDown() { StepQuantity(&m_sliderMicVol, Quantity::MicVolume, -1); }

void CTransmitterDlg::OnToggle(Function function)
{
    const CTransmitterCore::Result result = m_core.Toggle(function);
    if (!result.ok) {
        ShowFailure(this, result.failText);
    }
    PaintToggleButtons();
}

void CTransmitterDlg::OnLine() { OnToggle(Function::Line); }
void CTransmitterDlg::OnMic() { OnToggle(Function::Mic); }
void CTransmitterDlg::OnEcho() { OnToggle(Function::Echo); }
void CTransmitterDlg::OnStMono() { OnToggle(Function::StereoMono); }
void CTransmitterDlg::OnBackLight() { OnToggle(Function::BackLight); }

void CTransmitterDlg::OnPower()
{
    const CTransmitterCore::PowerResult result = m_core.PressPower();
    if (result.notConnected) {
        ShowNotConnected();
    }
    if (!result.ok) {
        // A scheduled task may run in this box's loop; the button shows the
        // flag as it is once the box has gone.
        ShowFailure(this, result.failText);
    }
    PaintButton(m_btnPower, m_core.IsPowerOn() ? m_clrActive : m_clrIdle);
    // A reconnection reads the flags anew.
    PaintToggleButtons();
}
