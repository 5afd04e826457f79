#pragma once
// The device mutex: every call into the Talvex library, from every thread,
// together with any GetLastCommError() that judges it, is made holding it.
// It is re-entrant on purpose: a message box shown inside the lock runs a
// nested event loop, in which the watchdog or a scheduled task may take it
// again on the same (UI) thread. It is handed over in the order it was asked
// for (CDeviceMutex), so a holder that takes it around one call at a time lets
// the other threads in between its calls.

#include "DeviceMutex.h"

#include <Talvex.h>

#include <mutex>

extern CDeviceMutex g_csDevice;

using DeviceAccess = std::lock_guard<CDeviceMutex>;

// One hold of the device mutex and the exchanges made under it, each with the
// transmitter's reply delay: the one place a front end names that delay.
class CDeviceSession
{
public:
    CDeviceSession() = default;
    CDeviceSession(const CDeviceSession&) = delete;
    CDeviceSession& operator=(const CDeviceSession&) = delete;

    // Runs `call(args..., reply delay)`; true when the library reports success.
    template <typename Function, typename... Args>
    bool Call(Function call, Args... args) const
    {
        return call(args..., TALVEX_REPLY_DELAY_MS) != 0;
    }
    // The same with the level reading's shorter delay.
    template <typename Function, typename... Args>
    bool CallLevel(Function call, Args... args) const
    {
        return call(args..., TALVEX_LEVEL_REPLY_DELAY_MS) != 0;
    }
    // The failure code of the last exchange under this hold.
    int LastError() const { return GetLastCommError(); }

private:
    DeviceAccess m_lock{g_csDevice};
};
