#pragma once
// Why a port could not be opened, in words that say what to do about it.

#include <string>

// The full explanation of a failed open of `device` for reason `reason`
// (TALVEX_OPEN_*), ending in a newline. Looks at the device and the system
// for the details (the group that owns it, the ports that do exist).
std::string ExplainOpenFailure(const std::string& device, int reason);
