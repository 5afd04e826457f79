// talvexctl: drives the transmitter from scripts and headless sites, one
// operation per run, with the same ranges and units as the control panel.
//
// Exit status: 0 done; 1 the transmitter exchange failed; 2 bad command line
// or value (nothing was sent); 3 the port could not be opened.

#include "Talvex.h"
#include "ValueParse.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int kReplyDelayMs = TALVEX_REPLY_DELAY_MS;
constexpr int kLevelReplyDelayMs = TALVEX_LEVEL_REPLY_DELAY_MS;
constexpr unsigned kTextSize = 20;

enum Exit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitOpen = 3 };

const char kUsage[] =
    "Usage: talvexctl --port DEVICE COMMAND [VALUE]\n"
    "\n"
    "Commands:\n"
    "  on | off                 switch the transmitter on or to standby\n"
    "  freq MHZ                 tune, 87.0 to 108.0 (one decimal)\n"
    "  power WATTS              transmit power, 0.3 to 15.0 (one decimal)\n"
    "  line-vol N               LINE volume, 1 to 13\n"
    "  mic-vol N                MIC volume, 1 to 30\n"
    "  line on|off              LINE input\n"
    "  mic on|off               microphone input\n"
    "  echo on|off              echo\n"
    "  stereo on|off            stereo (off = mono); 'mono' alone is stereo off\n"
    "  backlight on|off         display backlight\n"
    "  temp-point DEGREES       temperature protection point, 50 to 70\n"
    "  swr-point RATIO          standing-wave protection point, 2.0 to 4.0\n"
    "  info                     serial number, firmware version, device type\n"
    "  status                   state and every reading\n"
    "\n"
    "Options:\n"
    "  --port DEVICE            the serial device, e.g. /dev/ttyUSB0, or COM3 on\n"
    "                           Windows\n"
    "  --help                   show this text\n"
    "\n"
    "Exit status: 0 done, 1 the transmitter exchange failed, 2 bad command\n"
    "line or value (nothing sent), 3 the port could not be opened.\n";

// How a command takes its value and which range the panel allows.
enum class ValueKind { None, OnOff, Whole, Tenths };

struct CommandInfo {
    std::string_view name;
    ValueKind kind;
    int low;                   // Whole, Tenths: range in the number sent
    int high;
    std::string_view unit;     // shown after values, may be empty
    std::string_view what;     // names the operation in messages
    int (*set)(int, int);      // the library call, or null for the specials
};

constexpr CommandInfo kCommands[] = {
    {"on", ValueKind::None, 0, 0, "", "power on", nullptr},
    {"off", ValueKind::None, 0, 0, "", "power off", nullptr},
    {"info", ValueKind::None, 0, 0, "", "info", nullptr},
    {"status", ValueKind::None, 0, 0, "", "status", nullptr},
    {"mono", ValueKind::None, 0, 0, "", "set mono", nullptr},
    {"freq", ValueKind::Tenths, TALVEX_FREQ_MIN, TALVEX_FREQ_MAX, " MHz", "set frequency", &SetFMFreq},
    {"power", ValueKind::Tenths, TALVEX_POWER_MIN, TALVEX_POWER_MAX, " W", "set power", &SetLaunchPWR},
    {"swr-point", ValueKind::Tenths, TALVEX_SWR_POINT_MIN, TALVEX_SWR_POINT_MAX, "", "set SWR protection point", &SetStdyWavePt},
    {"line-vol", ValueKind::Whole, TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX, "", "set line volume", &SetLINEVol},
    {"mic-vol", ValueKind::Whole, TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX, "", "set mic volume", &SetMICVol},
    {"temp-point", ValueKind::Whole, TALVEX_TEMP_POINT_MIN, TALVEX_TEMP_POINT_MAX, " C", "set temperature protection point", &SetTmpPt},
    {"line", ValueKind::OnOff, 0, 1, "", "switch line input", &SetLINE},
    {"mic", ValueKind::OnOff, 0, 1, "", "switch microphone", &SetMIC},
    {"echo", ValueKind::OnOff, 0, 1, "", "switch echo", &SetRBT},
    {"stereo", ValueKind::OnOff, 0, 1, "", "switch stereo", &SetSoundChannel},
    {"backlight", ValueKind::OnOff, 0, 1, "", "switch backlight", &SetBackLight},
};

const CommandInfo* FindCommand(std::string_view name)
{
    for (const CommandInfo& c : kCommands)
        if (c.name == name)
            return &c;
    return nullptr;
}

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

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "talvexctl: %s\nTry 'talvexctl --help'.\n", message.c_str());
    return kExitUsage;
}

// Reports a failed library call; every exchange goes through here.
bool Check(int result, std::string_view what)
{
    if (result)
        return true;
    const int code = GetLastCommError();
    std::fprintf(stderr, "talvexctl: %.*s failed: %s (code %d)\n", static_cast<int>(what.size()), what.data(),
                 FailureText(code), code);
    return false;
}

std::string Shown(const CommandInfo& c, int value)
{
    const std::string number = c.kind == ValueKind::Tenths ? FormatTenths(value) : std::to_string(value);
    return number + std::string(c.unit);
}

// Turns VALUE into the number sent, or explains why it will not be sent.
bool ParseValue(const CommandInfo& c, const char* text, int& value, std::string& error)
{
    if (c.kind == ValueKind::OnOff) {
        const auto on = ParseOnOff(text);
        if (!on) {
            error = std::string(c.name) + " takes on or off, not '" + text + "'";
            return false;
        }
        value = *on ? 1 : 0;
        return true;
    }
    const auto parsed = c.kind == ValueKind::Tenths ? ParseTenths(text) : ParseWhole(text);
    if (!parsed) {
        error = std::string("malformed value for ") + std::string(c.name) + ": '" + text + "'" +
                (c.kind == ValueKind::Tenths ? " (a number with at most one decimal)" : " (a whole number)");
        return false;
    }
    if (*parsed < c.low || *parsed > c.high) {
        error = std::string(c.name) + " " + text + " is out of range (" + Shown(c, c.low) + " to " +
                Shown(c, c.high) + ")";
        return false;
    }
    value = *parsed;
    return true;
}

const char* OnOffText(bool on)
{
    return on ? "on" : "off";
}

int RunInfo()
{
    char serial[kTextSize] = {};
    char version[kTextSize] = {};
    char type[kTextSize] = {};
    if (!Check(GetSerialNum(serial, kTextSize, kReplyDelayMs), "read serial number") ||
        !Check(GetVersionNum(version, kTextSize, kReplyDelayMs), "read version") ||
        !Check(GetDevType(type, kTextSize, kReplyDelayMs), "read device type"))
        return kExitDevice;
    std::printf("serial: %s\nversion: %s\ntype: %s\n", serial, version, type);
    return kExitOk;
}

int RunStatus()
{
    unsigned char state = 0;
    if (!Check(GetDevState(&state, kReplyDelayMs), "read state"))
        return kExitDevice;

    struct Reading {
        const char* label;
        int (*get)(int*, int);
        int delay;
        bool tenths;
        const char* unit;
    };
    static constexpr Reading kReadings[] = {
        {"frequency", &GetFMFreq, kReplyDelayMs, true, " MHz"},
        {"power setting", &GetLaunchPWR, kReplyDelayMs, true, " W"},
        {"forward power", &GetFwdPWR, kReplyDelayMs, true, " W"},
        {"swr", &GetStdyWaveRatio, kReplyDelayMs, true, ""},
        {"temperature", &GetTemperature, kReplyDelayMs, false, " C"},
        {"line volume", &GetLineVol, kReplyDelayMs, false, ""},
        {"mic volume", &GetMicVol, kReplyDelayMs, false, ""},
        {"level", &GetRtVol, kLevelReplyDelayMs, false, ""},
        {"temp point", &GetTmpPt, kReplyDelayMs, false, " C"},
        {"swr point", &GetStdyWavePt, kReplyDelayMs, true, ""},
    };
    std::string lines;
    for (const Reading& r : kReadings) {
        int value = 0;
        if (!Check(r.get(&value, r.delay), std::string("read ") + r.label))
            return kExitDevice;
        lines += std::string(r.label) + ": " + (r.tenths ? FormatTenths(value) : std::to_string(value)) + r.unit + "\n";
    }
    std::printf("transmitter: %s\n", (state & TALVEX_STATE_STANDBY) ? "standby" : "on");
    std::printf("sound: %s\n", (state & TALVEX_STATE_MONO) ? "mono" : "stereo");
    std::printf("echo: %s\n", OnOffText(!(state & TALVEX_STATE_ECHO_OFF)));
    std::printf("line: %s\n", OnOffText(state & TALVEX_STATE_LINE_ON));
    std::printf("mic: %s\n", OnOffText(!(state & TALVEX_STATE_MIC_OFF)));
    std::fputs(lines.c_str(), stdout);
    return kExitOk;
}

int Done(bool ok, const char* confirmation)
{
    if (!ok)
        return kExitDevice;
    std::printf("%s\n", confirmation);
    return kExitOk;
}

int Run(const CommandInfo& c, int value)
{
    if (c.name == "on")
        return Done(Check(StartUp(kReplyDelayMs), c.what), "transmitter: on");
    if (c.name == "off")
        return Done(Check(ShutDown(kReplyDelayMs), c.what), "transmitter: standby");
    if (c.name == "mono")
        return Done(Check(SetSoundChannel(0, kReplyDelayMs), c.what), "stereo: off");
    if (c.name == "info")
        return RunInfo();
    if (c.name == "status")
        return RunStatus();
    if (!Check(c.set(value, kReplyDelayMs), c.what))
        return kExitDevice;
    const std::string shown = c.kind == ValueKind::OnOff ? OnOffText(value != 0) : Shown(c, value);
    std::printf("%.*s: %s\n", static_cast<int>(c.name.size()), c.name.data(), shown.c_str());
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    const char* port = nullptr;
    const char* words[2] = {};
    int wordCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (arg == "--port") {
            if (i + 1 >= argc)
                return UsageError("--port needs a device");
            port = argv[++i];
        } else if (arg.starts_with("--port=")) {
            port = argv[i] + std::strlen("--port=");
        } else if (arg.starts_with("--")) {
            return UsageError("unknown option: " + std::string(arg));
        } else if (wordCount < 2) {
            words[wordCount++] = argv[i];
        } else {
            return UsageError("too many arguments");
        }
    }
    if (!port || !*port)
        return UsageError("no port given (--port DEVICE)");
    if (wordCount == 0)
        return UsageError("no command given");

    const CommandInfo* command = FindCommand(words[0]);
    if (!command)
        return UsageError(std::string("unknown command: ") + words[0]);
    int value = 0;
    if (command->kind == ValueKind::None) {
        if (wordCount > 1)
            return UsageError(std::string(command->name) + " takes no value");
    } else {
        if (wordCount < 2)
            return UsageError(std::string(command->name) + " needs a value");
        std::string error;
        if (!ParseValue(*command, words[1], value, error))
            return UsageError(error);
    }

    if (!OpenCommPath(port, 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr)) {
        std::fprintf(stderr, "talvexctl: cannot open port %s\n", port);
        return kExitOpen;
    }
    const int status = Run(*command, value);
    CloseComm();
    return status;
}
