// Placeholder: replaced by the schedule implementation.
#include "TransmitterDlg.h"

int CTransmitterDlg::LoadSchedule() { return 0; }
void CTransmitterDlg::OnScheduledTask() {}
void CTransmitterDlg::OnScheduledTaskDue(std::intptr_t, std::intptr_t) {}
