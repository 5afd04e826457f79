// talvexctl: drives the transmitter from scripts and headless sites, one
// operation per run, with the same ranges and units as the control panel.
//
// Exit status: 0 done; 1 the transmitter exchange failed; 2 bad command line
// or value (nothing was sent); 3 the port could not be opened.

#include "Exit.h"
#include "OpenFailure.h"
#include "Readings.h"
#include "Talvex.h"
#include "ValueParse.h"
#include "portlist/PortList.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kReplyDelayMs = TALVEX_REPLY_DELAY_MS;

const char kUsage[] = "Usage: talvexctl --port DEVICE [--json] COMMAND [VALUE]\n"
                      "       talvexctl ports [--probe]\n"
                      "       talvexctl --version | --help\n"
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
                      "  ports                    list the serial ports and their /dev/serial/by-id\n"
                      "                           names; opens none of them\n"
                      "\n"
                      "Options:\n"
                      "  --port DEVICE            the serial device, e.g. /dev/ttyUSB0 (COM3 on\n"
                      "                           Windows), or a network port:\n"
                      "                           rfc2217://HOST:PORT (ser2net's telnet(rfc2217)\n"
                      "                           accepter) or socket://HOST:PORT\n"
                      "  --json                   status and info: one JSON object whose keys name\n"
                      "                           their unit (frequency_mhz, temperature_c, ...)\n"
                      "  --probe                  ports: also look for the transmitter on each port.\n"
                      "                           The probe is the power-on command, so a\n"
                      "                           transmitter that answers is switched ON\n"
                      "  --version                show the version\n"
                      "  --help                   show this text\n"
                      "\n"
                      "Exit status: 0 done, 1 the transmitter exchange failed, 2 bad command\n"
                      "line or value (nothing sent), 3 the port could not be opened.\n";

// How a command takes its value and which range the panel allows.
enum class ValueKind { None, OnOff, Whole, Tenths };

struct CommandInfo {
    std::string_view name;
    ValueKind kind;
    int low;  // Whole, Tenths: range in the number sent
    int high;
    std::string_view unit;  // shown after values, may be empty
    std::string_view what;  // names the operation in messages
    int (*set)(int, int);   // the library call, or null for the specials
};

constexpr CommandInfo kCommands[] = {
    {"on", ValueKind::None, 0, 0, "", "power on", nullptr},
    {"off", ValueKind::None, 0, 0, "", "power off", nullptr},
    {"info", ValueKind::None, 0, 0, "", "info", nullptr},
    {"status", ValueKind::None, 0, 0, "", "status", nullptr},
    {"mono", ValueKind::None, 0, 0, "", "set mono", nullptr},
    {"freq", ValueKind::Tenths, TALVEX_FREQ_MIN, TALVEX_FREQ_MAX, " MHz", "set frequency", &SetFMFreq},
    {"power", ValueKind::Tenths, TALVEX_POWER_MIN, TALVEX_POWER_MAX, " W", "set power", &SetLaunchPWR},
    {"swr-point", ValueKind::Tenths, TALVEX_SWR_POINT_MIN, TALVEX_SWR_POINT_MAX, "", "set SWR protection point",
     &SetStdyWavePt},
    {"line-vol", ValueKind::Whole, TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX, "", "set line volume", &SetLINEVol},
    {"mic-vol", ValueKind::Whole, TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX, "", "set mic volume", &SetMICVol},
    {"temp-point", ValueKind::Whole, TALVEX_TEMP_POINT_MIN, TALVEX_TEMP_POINT_MAX, " C",
     "set temperature protection point", &SetTmpPt},
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

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "talvexctl: %s\nTry 'talvexctl --help'.\n", message.c_str());
    return kExitUsage;
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
        error =
            std::string(c.name) + " " + text + " is out of range (" + Shown(c, c.low) + " to " + Shown(c, c.high) + ")";
        return false;
    }
    value = *parsed;
    return true;
}

const char* OnOffText(bool on) { return on ? "on" : "off"; }

int RunReadings(bool (*read)(std::vector<Reading>&), bool json)
{
    std::vector<Reading> readings;
    if (!read(readings))
        return kExitDevice;
    std::fputs((json ? FormatJson(readings) : FormatText(readings)).c_str(), stdout);
    return kExitOk;
}

bool OpenPort(const char* device)
{
    return OpenCommPath(device, 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr) != 0;
}

int RunPorts(bool probe)
{
    const std::vector<SerialPortEntry> ports = ListSerialPorts();
    if (ports.empty()) {
        std::fputs("No serial ports found.\n", stdout);
        return kExitOk;
    }
    for (const SerialPortEntry& port : ports) {
        std::string line = DescribePort(port);
        if (probe) {
            if (!OpenPort(port.device.c_str())) {
                line += "  [cannot open: " + std::string(GetOpenErrorText(GetLastOpenError())) + "]";
            } else {
                const bool answers = StartUp(kReplyDelayMs) || GetLastCommError() == TALVEX_E_REFUSED;
                line += answers ? "  [transmitter answers, switched on]" : "  [no answer]";
                CloseComm();
            }
        }
        std::printf("%s\n", line.c_str());
    }
    return kExitOk;
}

int Done(bool ok, const char* confirmation)
{
    if (!ok)
        return kExitDevice;
    std::printf("%s\n", confirmation);
    return kExitOk;
}

int Run(const CommandInfo& c, int value, bool json)
{
    if (c.name == "info")
        return RunReadings(&ReadInfo, json);
    if (c.name == "status")
        return RunReadings(&ReadStatus, json);
    if (c.name == "on")
        return Done(Check(StartUp(kReplyDelayMs), c.what), "transmitter: on");
    if (c.name == "off")
        return Done(Check(ShutDown(kReplyDelayMs), c.what), "transmitter: standby");
    if (c.name == "mono")
        return Done(Check(SetSoundChannel(0, kReplyDelayMs), c.what), "stereo: off");
    if (!Check(c.set(value, kReplyDelayMs), c.what))
        return kExitDevice;
    const std::string shown = c.kind == ValueKind::OnOff ? OnOffText(value != 0) : Shown(c, value);
    std::printf("%.*s: %s\n", static_cast<int>(c.name.size()), c.name.data(), shown.c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* port = nullptr;
    bool json = false;
    bool probe = false;
    const char* words[2] = {};
    int wordCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (arg == "--version") {
            std::printf("talvexctl %s\n", TALVEX_VERSION);
            return kExitOk;
        }
        if (arg == "--port") {
            if (i + 1 >= argc)
                return UsageError("--port needs a device");
            port = argv[++i];
        } else if (arg.starts_with("--port=")) {
            port = argv[i] + std::strlen("--port=");
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--probe") {
            probe = true;
        } else if (arg.starts_with("--")) {
            return UsageError("unknown option: " + std::string(arg));
        } else if (wordCount < 2) {
            words[wordCount++] = argv[i];
        } else {
            return UsageError("too many arguments");
        }
    }
    const bool listPorts = wordCount > 0 && std::string_view(words[0]) == "ports";
    if (probe && !listPorts)
        return UsageError("--probe goes with ports only");
    if (listPorts) {
        if (wordCount > 1)
            return UsageError("ports takes no value");
        if (port != nullptr || json)
            return UsageError("ports takes only --probe");
        return RunPorts(probe);
    }
    if (!port || !*port)
        return UsageError("no port given (--port DEVICE)");
    if (wordCount == 0)
        return UsageError("no command given");

    const CommandInfo* command = FindCommand(words[0]);
    if (!command)
        return UsageError(std::string("unknown command: ") + words[0]);
    if (json && command->name != "status" && command->name != "info")
        return UsageError("--json goes with status and info only");
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

    if (!OpenPort(port)) {
        std::fprintf(stderr, "talvexctl: %s", ExplainOpenFailure(port, GetLastOpenError()).c_str());
        return kExitOpen;
    }
    const int status = Run(*command, value, json);
    CloseComm();
    return status;
}
