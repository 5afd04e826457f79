#pragma once
// The device mutex: every call into the Talvex library, from every thread,
// together with any GetLastCommError() that judges it, is made holding it.
// It is re-entrant on purpose: a message box shown inside the lock runs a
// nested event loop, in which the watchdog or a scheduled task may take it
// again on the same (UI) thread. It is handed over in the order it was asked
// for (CDeviceMutex), so a holder that takes it around one call at a time lets
// the other threads in between its calls.

#include "DeviceMutex.h"

#include <mutex>

extern CDeviceMutex g_csDevice;

using DeviceAccess = std::lock_guard<CDeviceMutex>;
