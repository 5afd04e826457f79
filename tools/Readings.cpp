#include "Readings.h"

#include "Talvex.h"
#include "ValueParse.h"

#include <cstdio>

namespace {

constexpr int kReplyDelayMs = TALVEX_REPLY_DELAY_MS;
constexpr int kLevelReplyDelayMs = TALVEX_LEVEL_REPLY_DELAY_MS;
constexpr unsigned kTextSize = 20;

const char* FailureText(int code)
{
    switch (code) {
    case TALVEX_E_REFUSED: return "refused by the transmitter";
    case TALVEX_E_NOT_OPEN: return "port not open";
    case TALVEX_E_WRITE_TIMEOUT: return "write timed out";
    case TALVEX_E_READ_TIMEOUT: return "read timed out";
    case TALVEX_E_WRITE: return "write failed";
    case TALVEX_E_READ: return "read failed";
    case TALVEX_E_NO_REPLY: return "no reply";
    default: return "unknown failure";
    }
}

Reading Flag(const char* label, const char* key, bool on, const char* onText, const char* offText)
{
    return {label, key, on ? onText : offText, on ? "true" : "false"};
}

Reading Text(const char* label, const char* key, const std::string& value)
{
    return {label, key, value, JsonString(value)};
}

}  // namespace

bool Check(int result, std::string_view what)
{
    if (result)
        return true;
    const int code = GetLastCommError();
    std::fprintf(stderr, "talvexctl: %.*s failed: %s (code %d)\n", static_cast<int>(what.size()), what.data(),
                 FailureText(code), code);
    return false;
}

bool ReadStatus(std::vector<Reading>& readings)
{
    unsigned char state = 0;
    if (!Check(GetDevState(&state, kReplyDelayMs), "read state"))
        return false;
    readings = {
        {"transmitter", "transmitter", (state & TALVEX_STATE_STANDBY) ? "standby" : "on",
         (state & TALVEX_STATE_STANDBY) ? "\"standby\"" : "\"on\""},
        {"sound", "sound", (state & TALVEX_STATE_MONO) ? "mono" : "stereo",
         (state & TALVEX_STATE_MONO) ? "\"mono\"" : "\"stereo\""},
        Flag("echo", "echo_on", !(state & TALVEX_STATE_ECHO_OFF), "on", "off"),
        Flag("line", "line_on", state & TALVEX_STATE_LINE_ON, "on", "off"),
        Flag("mic", "mic_on", !(state & TALVEX_STATE_MIC_OFF), "on", "off"),
    };

    struct Source {
        const char* label;
        const char* key;
        int (*get)(int*, int);
        int delay;
        bool tenths;
        const char* unit;
    };
    static constexpr Source kSources[] = {
        {"frequency", "frequency_mhz", &GetFMFreq, kReplyDelayMs, true, " MHz"},
        {"power setting", "power_setting_w", &GetLaunchPWR, kReplyDelayMs, true, " W"},
        {"forward power", "forward_power_w", &GetFwdPWR, kReplyDelayMs, true, " W"},
        {"swr", "swr_ratio", &GetStdyWaveRatio, kReplyDelayMs, true, ""},
        {"temperature", "temperature_c", &GetTemperature, kReplyDelayMs, false, " C"},
        {"line volume", "line_volume_step", &GetLineVol, kReplyDelayMs, false, ""},
        {"mic volume", "mic_volume_step", &GetMicVol, kReplyDelayMs, false, ""},
        {"level", "audio_level_raw", &GetRtVol, kLevelReplyDelayMs, false, ""},
        {"temp point", "temperature_point_c", &GetTmpPt, kReplyDelayMs, false, " C"},
        {"swr point", "swr_point_ratio", &GetStdyWavePt, kReplyDelayMs, true, ""},
    };
    for (const Source& s : kSources) {
        int value = 0;
        if (!Check(s.get(&value, s.delay), std::string("read ") + s.label))
            return false;
        const std::string number = s.tenths ? FormatTenths(value) : std::to_string(value);
        readings.push_back({s.label, s.key, number + s.unit, number});
    }
    return true;
}

bool ReadInfo(std::vector<Reading>& readings)
{
    char serial[kTextSize] = {};
    char version[kTextSize] = {};
    char type[kTextSize] = {};
    if (!Check(GetSerialNum(serial, kTextSize, kReplyDelayMs), "read serial number") ||
        !Check(GetVersionNum(version, kTextSize, kReplyDelayMs), "read version") ||
        !Check(GetDevType(type, kTextSize, kReplyDelayMs), "read device type"))
        return false;
    readings = {Text("serial", "serial_number", serial), Text("version", "firmware_version", version),
                Text("type", "device_type", type)};
    return true;
}

std::string FormatText(const std::vector<Reading>& readings)
{
    std::string out;
    for (const Reading& r : readings)
        out += r.label + ": " + r.text + "\n";
    return out;
}

std::string FormatJson(const std::vector<Reading>& readings)
{
    std::string out = "{";
    for (const Reading& r : readings) {
        if (out.size() > 1)
            out += ", ";
        out += JsonString(r.key) + ": " + r.json;
    }
    return out + "}\n";
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (byte < 0x20 || byte >= 0x7F) {
            // Device text is raw bytes: keep the JSON plain ASCII whatever
            // the transmitter sends.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}
