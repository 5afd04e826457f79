// talvexctl: drives the transmitter from scripts and headless sites, one
// operation per run, with the same ranges and units as the control panel.
//
// Exit status: 0 done; 1 the transmitter exchange failed; 2 bad command line
// or value (nothing was sent); 3 the port could not be opened.

#include "MetricsServer.h"
#include "Talvex.h"
#include "ValueParse.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

namespace {

constexpr int kReplyDelayMs = 100;
constexpr int kLevelReplyDelayMs = 20;
constexpr unsigned kTextSize = 20;

enum Exit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitOpen = 3 };

constexpr int kDefaultIntervalS = 10;

const char kUsage[] =
    "Usage: talvexctl --port DEVICE COMMAND [VALUE]\n"
    "       talvexctl --port DEVICE monitor --metrics-listen [ADDR:]PORT [--interval S]\n"
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
    "  monitor                  poll the readings every S seconds and serve them\n"
    "                           for Prometheus at http://ADDR:PORT/metrics until\n"
    "                           interrupted; the address defaults to 127.0.0.1\n"
    "\n"
    "Options:\n"
    "  --port DEVICE            the serial device, e.g. /dev/ttyUSB0, or a\n"
    "                           network port: rfc2217://HOST:PORT (ser2net's\n"
    "                           telnet(rfc2217) accepter) or socket://HOST:PORT\n"
    "  --metrics-listen ADDR:PORT  where monitor serves its metrics\n"
    "  --interval S             seconds between monitor's rounds (1 to 3600,\n"
    "                           default 10)\n"
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
    {"monitor", ValueKind::None, 0, 0, "", "monitor", nullptr},
    {"mono", ValueKind::None, 0, 0, "", "set mono", nullptr},
    {"freq", ValueKind::Tenths, 870, 1080, " MHz", "set frequency", &SetFMFreq},
    {"power", ValueKind::Tenths, 3, 150, " W", "set power", &SetLaunchPWR},
    {"swr-point", ValueKind::Tenths, 20, 40, "", "set SWR protection point", &SetStdyWavePt},
    {"line-vol", ValueKind::Whole, 1, 13, "", "set line volume", &SetLINEVol},
    {"mic-vol", ValueKind::Whole, 1, 30, "", "set mic volume", &SetMICVol},
    {"temp-point", ValueKind::Whole, 50, 70, " C", "set temperature protection point", &SetTmpPt},
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
    std::printf("transmitter: %s\n", (state & 0x01) ? "standby" : "on");
    std::printf("sound: %s\n", (state & 0x04) ? "mono" : "stereo");
    std::printf("echo: %s\n", OnOffText(!(state & 0x10)));
    std::printf("line: %s\n", OnOffText(state & 0x20));
    std::printf("mic: %s\n", OnOffText(!(state & 0x40)));
    std::fputs(lines.c_str(), stdout);
    return kExitOk;
}

std::atomic<bool> g_stop{false};

extern "C" void OnStopSignal(int)
{
    g_stop = true;
}

// One round of the readings the panel polls; the failure code of the first
// exchange that failed, or TALVEX_OK.
int ReadRound(talvex::metrics::Readings& r)
{
    unsigned char state = 0;
    if (!GetDevState(&state, kReplyDelayMs))
        return GetLastCommError();
    r.standby = (state & 0x01) != 0;
    r.stereo = (state & 0x04) == 0;
    r.echo = (state & 0x10) == 0;
    r.lineInput = (state & 0x20) != 0;
    r.micInput = (state & 0x40) == 0;
    const struct {
        int (*get)(int*, int);
        int delay;
        int* out;
    } readings[] = {
        {&GetFMFreq, kReplyDelayMs, &r.frequencyTenths},    {&GetLaunchPWR, kReplyDelayMs, &r.powerSettingTenths},
        {&GetFwdPWR, kReplyDelayMs, &r.forwardPowerTenths}, {&GetStdyWaveRatio, kReplyDelayMs, &r.swrTenths},
        {&GetTemperature, kReplyDelayMs, &r.temperature},   {&GetLineVol, kReplyDelayMs, &r.lineVolume},
        {&GetMicVol, kReplyDelayMs, &r.micVolume},          {&GetRtVol, kLevelReplyDelayMs, &r.audioLevel},
        {&GetTmpPt, kReplyDelayMs, &r.temperaturePoint},    {&GetStdyWavePt, kReplyDelayMs, &r.swrPointTenths},
    };
    for (const auto& reading : readings) {
        if (!reading.get(reading.out, reading.delay))
            return GetLastCommError();
    }
    return TALVEX_OK;
}

// Polls until SIGINT or SIGTERM. The port is (re)opened at the start of a
// round whenever it is not open, so a site whose line or network comes back
// is picked up again; a failed round counts its failure code.
int RunMonitor(const char* port, const talvex::metrics::ListenAddress& listen, int intervalS)
{
    namespace metrics = talvex::metrics;
    metrics::CMetricsServer server;
    std::string error;
    if (!server.Start(listen, &error)) {
        std::fprintf(stderr, "talvexctl: %s\n", error.c_str());
        return kExitUsage;
    }
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::printf("serving metrics at http://%s:%d/metrics\n", listen.host.c_str(), server.Port());
    std::fflush(stdout);

    metrics::Snapshot snapshot;
    snapshot.build = {"talvexctl", TALVEX_VERSION};
    server.Publish(snapshot);
    bool open = false;
    bool openFailing = false;
    while (!g_stop) {
        const auto roundStart = std::chrono::steady_clock::now();
        if (!open) {
            open = OpenCommPath(port, 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr) != 0;
            // Said once per outage, not once per round.
            if (!open && !openFailing)
                std::fprintf(stderr, "talvexctl: cannot open port %s; trying again every round\n", port);
            openFailing = !open;
        }
        if (open) {
            metrics::Readings readings;
            const int code = ReadRound(readings);
            snapshot.up = code == TALVEX_OK;
            if (snapshot.up) {
                snapshot.readings = readings;
                snapshot.lastGood = std::chrono::steady_clock::now();
            } else {
                snapshot.CountFailure(code);
                // A dead line or connection stays dead: open it afresh.
                if (code == TALVEX_E_WRITE || code == TALVEX_E_READ || code == TALVEX_E_NOT_OPEN) {
                    CloseComm();
                    open = false;
                }
            }
        } else {
            snapshot.up = false;
        }
        server.Publish(snapshot);
        const auto next = roundStart + std::chrono::seconds(intervalS);
        while (!g_stop && std::chrono::steady_clock::now() < next)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    CloseComm();
    server.Stop();
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
    const char* listenText = nullptr;
    const char* intervalText = nullptr;
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
        } else if (arg == "--metrics-listen" || arg == "--interval") {
            if (i + 1 >= argc)
                return UsageError(std::string(arg) + " needs a value");
            (arg == "--interval" ? intervalText : listenText) = argv[++i];
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
    const bool monitor = command->name == "monitor";
    if (!monitor && (listenText || intervalText))
        return UsageError("--metrics-listen and --interval belong to monitor");
    talvex::metrics::ListenAddress listen;
    int interval = kDefaultIntervalS;
    if (monitor) {
        if (!listenText)
            return UsageError("monitor needs --metrics-listen [ADDR:]PORT");
        const auto parsed = talvex::metrics::ParseListenAddress(listenText);
        if (!parsed)
            return UsageError(std::string("malformed listen address: '") + listenText + "'");
        listen = *parsed;
        if (intervalText) {
            const auto seconds = ParseWhole(intervalText);
            if (!seconds || *seconds < 1 || *seconds > 3600)
                return UsageError(std::string("--interval takes 1 to 3600 seconds, not '") + intervalText + "'");
            interval = *seconds;
        }
    }
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

    if (monitor)
        return RunMonitor(port, listen, interval);
    if (!OpenCommPath(port, 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr)) {
        std::fprintf(stderr, "talvexctl: cannot open port %s\n", port);
        return kExitOpen;
    }
    const int status = Run(*command, value);
    CloseComm();
    return status;
}
