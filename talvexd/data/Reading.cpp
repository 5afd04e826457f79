#include "Reading.h"

namespace talvexd {

namespace {

struct ReadingInfo {
    const char* name;
    const char* unit;
    const char* column;
    int divisor;
};

const ReadingInfo& Info(Reading reading)
{
    static const ReadingInfo kInfo[] = {
        {"forward_power_w", "W", "forward_power", 10}, {"swr_ratio", "", "swr", 10},
        {"temperature_c", "°C", "temperature", 1},     {"audio_level_raw", "", "audio_level", 1},
        {"power_setting_w", "W", "power_setting", 10}, {"frequency_mhz", "MHz", "frequency", 10},
        {"line_volume_step", "", "line_volume", 1},    {"mic_volume_step", "", "mic_volume", 1},
    };
    return kInfo[static_cast<int>(reading)];
}

}  // namespace

const char* ReadingName(Reading reading) { return Info(reading).name; }

std::optional<Reading> ParseReading(std::string_view name)
{
    for (const Reading reading : kReadings) {
        if (name == ReadingName(reading))
            return reading;
    }
    return std::nullopt;
}

const char* ReadingUnit(Reading reading) { return Info(reading).unit; }

const char* ReadingColumn(Reading reading) { return Info(reading).column; }

int ReadingDivisor(Reading reading) { return Info(reading).divisor; }

int ReadingValue(const SiteStatus& s, Reading reading)
{
    switch (reading) {
    case Reading::ForwardPower: return s.forwardPower;
    case Reading::Swr: return s.swr;
    case Reading::Temperature: return s.temperature;
    case Reading::AudioLevel: return s.level;
    case Reading::PowerSetting: return s.powerSetting;
    case Reading::Frequency: return s.frequency;
    case Reading::LineVolume: return s.lineVolume;
    case Reading::MicVolume: return s.micVolume;
    }
    return 0;
}

}  // namespace talvexd
