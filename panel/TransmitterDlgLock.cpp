// Placeholder: replaced by the lock and dialogs implementation.
#include "TransmitterDlg.h"

void CTransmitterDlg::ReadPassword() {}
void CTransmitterDlg::EnablePanelControls(int) {}
void CTransmitterDlg::OnLockUnlock() {}
void CTransmitterDlg::OnSet() {}
void CTransmitterDlg::OnDeviceInfo() {}
