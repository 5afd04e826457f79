#include "SiteStatus.h"

#include <nlohmann/json.hpp>

#include <ctime>

namespace talvexd {

namespace {

// Tenths as a JSON number with one decimal, as `talvexctl --json` writes them.
double Tenths(int tenths) { return tenths / 10.0; }

}  // namespace

std::string Rfc3339(WallClock::time_point moment)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms % 1000));
    return text;
}

nlohmann::ordered_json StatusJson(const SiteStatus& s)
{
    // The order of `talvexctl --json status`, for people reading it.
    nlohmann::ordered_json j;
    j["transmitter"] = s.standby ? "standby" : "on";
    j["sound"] = s.mono ? "mono" : "stereo";
    j["echo_on"] = s.echoOn;
    j["line_on"] = s.lineOn;
    j["mic_on"] = s.micOn;
    j["frequency_mhz"] = Tenths(s.frequency);
    j["power_setting_w"] = Tenths(s.powerSetting);
    j["forward_power_w"] = Tenths(s.forwardPower);
    j["swr_ratio"] = Tenths(s.swr);
    j["temperature_c"] = s.temperature;
    j["line_volume_step"] = s.lineVolume;
    j["mic_volume_step"] = s.micVolume;
    j["audio_level_raw"] = s.level;
    j["temperature_point_c"] = s.temperaturePoint;
    j["swr_point_ratio"] = Tenths(s.swrPoint);
    j["link"] = s.linkUp ? "up" : "down";
    j["read_at"] = s.readAt ? nlohmann::ordered_json(Rfc3339(*s.readAt)) : nlohmann::ordered_json(nullptr);
    return j;
}

nlohmann::ordered_json InfoJson(const SiteStatus& s)
{
    nlohmann::ordered_json j;
    j["serial_number"] = s.serialNumber;
    j["firmware_version"] = s.firmwareVersion;
    j["device_type"] = s.deviceType;
    return j;
}

nlohmann::ordered_json ProtectionJson(const SiteStatus& s)
{
    nlohmann::ordered_json j;
    j["temperature_point_c"] = s.temperaturePoint;
    j["swr_point_ratio"] = Tenths(s.swrPoint);
    return j;
}

talvex::metrics::Snapshot MetricsSnapshotOf(const SiteStatus& s, const std::string& version)
{
    talvex::metrics::Snapshot snapshot;
    snapshot.up = s.linkUp;
    snapshot.failures = s.failures;
    snapshot.build = {"talvexd", version};
    snapshot.started = s.started;
    snapshot.lastGood = s.readAt;
    if (s.readAt) {
        talvex::metrics::Readings r;
        r.standby = s.standby;
        r.frequencyTenths = s.frequency;
        r.powerSettingTenths = s.powerSetting;
        r.forwardPowerTenths = s.forwardPower;
        r.swrTenths = s.swr;
        r.temperature = s.temperature;
        r.lineVolume = s.lineVolume;
        r.micVolume = s.micVolume;
        r.audioLevel = s.level;
        r.temperaturePoint = s.temperaturePoint;
        r.swrPointTenths = s.swrPoint;
        r.stereo = !s.mono;
        r.echo = s.echoOn;
        r.lineInput = s.lineOn;
        r.micInput = s.micOn;
        snapshot.readings = r;
    }
    return snapshot;
}

}  // namespace talvexd
