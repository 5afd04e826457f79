#include "PrometheusText.h"

#include <chrono>
#include <cstdlib>

namespace talvex::metrics {

namespace {

// The failure codes of the device library, each always shown (a counter
// that appears only after its first increment hides that increment from
// rate()).
constexpr int kFailureCodes[] = {1, 2, 3, 4, 5, 6, -1};

// Label values escape backslash, double quote and newline.
std::string LabelValue(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

class CWriter
{
public:
    void Family(const char* name, const char* type, const char* help)
    {
        m_text += "# HELP ";
        m_text += name;
        m_text += ' ';
        m_text += help;
        m_text += "\n# TYPE ";
        m_text += name;
        m_text += ' ';
        m_text += type;
        m_text += '\n';
    }
    void Sample(const char* name, const std::string& value, const std::string& labels = {})
    {
        m_text += name;
        if (!labels.empty())
            m_text += '{' + labels + '}';
        m_text += ' ' + value + '\n';
    }
    void Gauge(const char* name, const char* help, const std::string& value)
    {
        Family(name, "gauge", help);
        Sample(name, value);
    }
    std::string Take() { return std::move(m_text); }

private:
    std::string m_text;
};

std::string Flag(bool on) { return on ? "1" : "0"; }

// The device's 0.1 MHz steps in hertz, as an integer.
std::string Hertz(int tenths) { return std::to_string(static_cast<long long>(tenths) * 100000); }

// Unix time in seconds with milliseconds ("1767225600.250"), exact.
std::string UnixSeconds(Clock::time_point t)
{
    const long long ms = std::chrono::floor<std::chrono::milliseconds>(t.time_since_epoch()).count();
    const long long magnitude = std::llabs(ms);
    std::string millis = std::to_string(magnitude % 1000);
    millis.insert(0, 3 - millis.size(), '0');
    return (ms < 0 ? "-" : "") + std::to_string(magnitude / 1000) + "." + millis;
}

}  // namespace

std::string FormatTenths(int tenths)
{
    const long long value = tenths;
    const long long magnitude = std::llabs(value);
    return (value < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

std::string RenderPrometheus(const Snapshot& s)
{
    CWriter w;
    w.Gauge("talvex_up", "Whether the newest round of readings succeeded.", Flag(s.up));
    if (s.readings) {
        const Readings& r = *s.readings;
        w.Gauge("talvex_transmitting", "1 while the transmitter is on, 0 in standby.", Flag(!r.standby));
        w.Gauge("talvex_frequency_hertz", "Tuned frequency.", Hertz(r.frequencyTenths));
        w.Gauge("talvex_power_setting_watts", "Transmit power setting.", FormatTenths(r.powerSettingTenths));
        w.Gauge("talvex_forward_power_watts", "Measured forward power.", FormatTenths(r.forwardPowerTenths));
        w.Gauge("talvex_swr_ratio", "Standing-wave ratio.", FormatTenths(r.swrTenths));
        w.Gauge("talvex_temperature_celsius", "Transmitter temperature.", std::to_string(r.temperature));
        w.Gauge("talvex_line_volume", "LINE input volume, 1 to 13.", std::to_string(r.lineVolume));
        w.Gauge("talvex_mic_volume", "Microphone volume, 1 to 30.", std::to_string(r.micVolume));
        w.Gauge("talvex_audio_level", "Raw audio level, 0 to 65535.", std::to_string(r.audioLevel));
        if (r.protectionPoints) {
            w.Gauge("talvex_temperature_protection_celsius", "Temperature protection point.",
                    std::to_string(r.temperaturePoint));
            w.Gauge("talvex_swr_protection_ratio", "Standing-wave protection point.", FormatTenths(r.swrPointTenths));
        }
        w.Gauge("talvex_stereo", "1 in stereo, 0 in mono.", Flag(r.stereo));
        w.Gauge("talvex_echo", "1 while echo is on.", Flag(r.echo));
        w.Gauge("talvex_line_input", "1 while the LINE input is on.", Flag(r.lineInput));
        w.Gauge("talvex_mic_input", "1 while the microphone is on.", Flag(r.micInput));
    }

    w.Family("talvex_exchange_failures_total", "counter", "Failed exchanges with the transmitter, by failure code.");
    for (const int code : kFailureCodes) {
        const auto found = s.failures.find(code);
        w.Sample("talvex_exchange_failures_total", std::to_string(found == s.failures.end() ? 0 : found->second),
                 "code=\"" + std::to_string(code) + "\"");
    }
    for (const auto& [code, count] : s.failures) {
        bool known = false;
        for (const int k : kFailureCodes)
            known = known || k == code;
        if (!known)
            w.Sample("talvex_exchange_failures_total", std::to_string(count), "code=\"" + std::to_string(code) + "\"");
    }

    w.Gauge("talvex_start_time_seconds", "Start time of the poller since the Unix epoch, in seconds.",
            UnixSeconds(s.started));
    if (s.lastGood)
        w.Gauge("talvex_last_reading_timestamp_seconds",
                "Time of the last complete round of readings since the Unix epoch, in seconds.",
                UnixSeconds(*s.lastGood));

    w.Family("talvex_build_info", "gauge", "The program serving these metrics.");
    w.Sample("talvex_build_info", "1",
             "program=\"" + LabelValue(s.build.program) + "\",version=\"" + LabelValue(s.build.version) + "\"");
    return w.Take();
}

}  // namespace talvex::metrics
