#pragma once
// What a site's metrics show at one moment: the transmitter's last good
// readings, how many exchanges failed with each failure code, when the
// poller started and when the last good reading came. A plain value, copied
// under a small lock by whoever polls the transmitter and handed to the
// renderer or the server.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace talvex::metrics {

// Wall-clock time: the snapshot's times are served as Unix times, which
// Prometheus compares with its own clock (time() in a rule).
using Clock = std::chrono::system_clock;

// One complete round of readings. Tenths are the transmitter's own units
// (0.1 MHz, 0.1 W, SWR tenths); the renderer turns them into base units.
struct Readings {
    bool standby = true;
    int frequencyTenths = 0;
    int powerSettingTenths = 0;
    int forwardPowerTenths = 0;
    int swrTenths = 0;
    int temperature = 0;  // degrees Celsius
    int lineVolume = 0;
    int micVolume = 0;
    int audioLevel = 0;  // raw level, 0..65535
    int temperaturePoint = 0;
    int swrPointTenths = 0;
    // Whether the two protection points above are known: a poller that
    // does not read them (the panel's) leaves them out.
    bool protectionPoints = true;
    bool stereo = false;
    bool echo = false;
    bool lineInput = false;
    bool micInput = false;
};

struct BuildInfo {
    std::string program;  // "talvexctl", "TalvexPanel"
    std::string version;
};

struct Snapshot {
    // The last complete round; absent until the first one.
    std::optional<Readings> readings;
    // Whether the newest round completed (false while the line is failing).
    bool up = false;
    // Failed exchanges by failure code, since the start.
    std::map<int, std::uint64_t> failures;
    // When the poller started, and when the last good round completed;
    // absent before the first.
    Clock::time_point started = Clock::now();
    std::optional<Clock::time_point> lastGood;
    BuildInfo build;

    void CountFailure(int code) { ++failures[code]; }
};

}  // namespace talvex::metrics
