// The panel lock, and the two dialogs the main window opens for the
// protection points and the device information.
#include "TransmitterDlg.h"

#include "dialogs/DeviceInfoDlg.h"
#include "dialogs/LockDlg.h"
#include "dialogs/PasswordStore.h"
#include "dialogs/ProtectSettingDlg.h"
#include "dialogs/UnlockDlg.h"

#include <array>

void CTransmitterDlg::ReadPassword()
{
    m_password = CPasswordStore().Read();
    m_bUnlocked = m_password.isEmpty() ? 1 : 0;
    if (!m_bUnlocked) {
        EnablePanelControls(0);
    }
}

void CTransmitterDlg::EnablePanelControls(int enable)
{
    // In the order their state changes: the step buttons, the sliders
    // (power, microphone, line, frequency), then the toggles and SET.
    const std::array<QWidget*, 18> lockable = {
        &m_btnFreqUp, &m_btnFreqDown, &m_btnPwrUp,    &m_btnPwrDown,   &m_btnLineUp,     &m_btnLineDown,
        &m_btnMicUp,  &m_btnMicDown,  &m_sliderPower, &m_sliderMicVol, &m_sliderLineVol, &m_sliderFreq,
        &m_btnLine,   &m_btnMic,      &m_btnEcho,     &m_btnStMono,    &m_btnBackLight,  &m_btnSet,
    };
    for (QWidget* control : lockable) {
        control->setEnabled(enable != 0);
    }
}

void CTransmitterDlg::OnLockUnlock()
{
    if (m_bUnlocked == 1) {
        CLockDlg dlg(this);
        dlg.m_password = m_password;
        if (dlg.DoModal() == IDC_OK) {
            EnablePanelControls(0);
            m_bUnlocked = 0;
            m_password = dlg.m_password;
        }
    } else {
        CUnlockDlg dlg(this);
        dlg.m_password = m_password;
        if (dlg.DoModal() == IDC_OK) {
            EnablePanelControls(1);
            m_bUnlocked = 1;
        }
    }
    PaintButton(m_btnLock, m_bUnlocked == 1 ? m_clrIdle : m_clrActive);
}

void CTransmitterDlg::OnSet()
{
    CProtectSettingDlg dlg(this);
    dlg.DoModal();
}

void CTransmitterDlg::OnDeviceInfo()
{
    CDeviceInfoDlg dlg(this);
    dlg.DoModal();
}
