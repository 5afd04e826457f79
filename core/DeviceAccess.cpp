#include "DeviceAccess.h"

// A namespace-scope object: constructed before main() and destroyed after it,
// so it exists before the first device call and outlives every window.
CDeviceMutex g_csDevice;
