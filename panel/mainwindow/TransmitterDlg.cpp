// What every part of the main window uses: its controls by id, the sliders
// with their quantities, the colours of a button and the box of a
// transmitter that is not there.
#include "TransmitterDlg.h"

#include "dialogkit/MessageBox.h"

QWidget* CTransmitterDlg::Control(int id) const { return GetDlgItem(id); }

std::array<std::pair<CSkinSlider*, CTransmitterCore::Quantity>, 4> CTransmitterDlg::Sliders()
{
    return {{
        {&m_sliderFreq, Quantity::Frequency},
        {&m_sliderPower, Quantity::Power},
        {&m_sliderLineVol, Quantity::LineVolume},
        {&m_sliderMicVol, Quantity::MicVolume},
    }};
}

void CTransmitterDlg::PaintButton(CImageButton& button, ColorRef colour)
{
    button.SetStateColor(IBC_BK_NORMAL, colour, false);
    button.SetStateColor(IBC_BK_FOCUS, colour, false);
    button.SetStateColor(IBC_BK_ACTIVE, colour, true);
}

void CTransmitterDlg::ShowNotConnected()
{
    PanelMessageBox(this, QStringLiteral("The Device is not connected."), QStringLiteral("Error"));
}
