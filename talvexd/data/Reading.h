#pragma once
// The readings the history keeps, named as the status object names them, and
// how each is stored: an integer in the device's units (tenths of MHz, of W
// and of the SWR; whole degrees, steps and raw levels).

#include "talvexd/site/SiteStatus.h"

#include <optional>
#include <string_view>

namespace talvexd {

enum class Reading { ForwardPower, Swr, Temperature, AudioLevel, PowerSetting, Frequency, LineVolume, MicVolume };
inline constexpr Reading kReadings[] = {Reading::ForwardPower, Reading::Swr,          Reading::Temperature,
                                        Reading::AudioLevel,   Reading::PowerSetting, Reading::Frequency,
                                        Reading::LineVolume,   Reading::MicVolume};

// The status object's key: "forward_power_w", "swr_ratio", "temperature_c",
// "audio_level_raw", "power_setting_w", "frequency_mhz", "line_volume_step",
// "mic_volume_step".
const char* ReadingName(Reading reading);
std::optional<Reading> ParseReading(std::string_view name);
// "W", "MHz", "°C"; empty for ratios, steps and raw levels.
const char* ReadingUnit(Reading reading);
// The history table's column.
const char* ReadingColumn(Reading reading);
// What one stored integer is in the JSON's units: 10 for tenths, else 1.
int ReadingDivisor(Reading reading);
// The reading's value in `status`, in device units.
int ReadingValue(const SiteStatus& status, Reading reading);

}  // namespace talvexd
