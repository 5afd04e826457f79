#pragma once
// A change a client asks of the transmitter, in the device's own units,
// whoever asks it: the HTTP API and SNMP alike.

#include "core/TransmitterCore.h"

namespace talvexd {

// One setting to change, in the device's units (tenths for MHz and W; 1 or
// 0 for the on/off keys: on, stereo, enabled).
struct SettingChange {
    enum class Kind { Frequency, Power, LineVolume, MicVolume, Transmitter, Sound, Echo, Line, Mic };
    Kind kind;
    int value;
    const char* key;  // as the client named it, for the log
};

// One protection point to set.
struct PointChange {
    CTransmitterCore::Point point;
    int value;  // degrees, or SWR tenths
    const char* key;
};

}  // namespace talvexd
