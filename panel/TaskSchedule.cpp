// Placeholder: replaced by the schedule implementation.
#include "TaskSchedule.h"

CTaskSchedule::~CTaskSchedule() { StopThread(); }
void CTaskSchedule::StartThread() {}
void CTaskSchedule::StopThread() {}
int SchedulerThreadProc(CTaskSchedule*) { return 0; }
