#pragma once
// What the service knows of the transmitter at one moment: the link, the
// values and flags of the newest status cycle, the level, the protection
// points and the device's own names, each as last read. A plain value,
// copied under the status board's lock; the JSON and metrics forms of it
// live here too, so every client sees the same names and units.

#include "MetricsSnapshot.h"

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace talvexd {

using WallClock = std::chrono::system_clock;

struct SiteStatus {
    bool linkUp = false;
    // The end of the newest status cycle; none before the first.
    std::optional<WallClock::time_point> readAt;
    // The newest level reading.
    std::optional<WallClock::time_point> levelReadAt;

    // In the device's own units: tenths of MHz, of W and of the SWR.
    bool standby = true;
    bool mono = false;
    bool echoOn = false;
    bool lineOn = false;
    bool micOn = false;
    int frequency = 0;
    int powerSetting = 0;
    int forwardPower = 0;
    int swr = 0;
    int temperature = 0;  // degrees Celsius
    int lineVolume = 0;
    int micVolume = 0;
    int level = 0;  // raw, 0..65535
    int temperaturePoint = 0;
    int swrPoint = 0;
    // When a client or the schedule last asked for standby: a standby
    // without it is the transmitter's own doing.
    std::optional<WallClock::time_point> standbyAskedAt;
    // The newest moment the link found the transmitter on: a standby after
    // it that nobody asked for since is the transmitter's own.
    std::optional<WallClock::time_point> onAt;

    std::string serialNumber;
    std::string firmwareVersion;
    std::string deviceType;

    // Failed exchanges by failure code, since the start.
    std::map<int, std::uint64_t> failures;
    WallClock::time_point started = WallClock::now();
};

// The status object: the keys and units of `talvexctl --json status`, with
// "link" and "read_at" (RFC 3339, UTC; null before the first cycle).
nlohmann::ordered_json StatusJson(const SiteStatus& status);
// The keys of `talvexctl --json info`.
nlohmann::ordered_json InfoJson(const SiteStatus& status);
nlohmann::ordered_json ProtectionJson(const SiteStatus& status);
// The same readings for the metrics renderer.
talvex::metrics::Snapshot MetricsSnapshotOf(const SiteStatus& status, const std::string& version);

// "2026-12-09T13:05:07.250Z".
std::string Rfc3339(WallClock::time_point moment);

}  // namespace talvexd
