// talvexctl as scripts run it: against a simulated transmitter, judged by
// exit status, output and the frames that reached the line.

#include "../common/DecimalCommaLocale.h"
#include "../sim/SimTestSupport.h"
#include "SimTransmitter.h"

#include <gtest/gtest.h>

#include "portlist/PortList.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace std::chrono_literals;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args`; argv[0] is the program.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    RunResult result;
    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);

    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned == 0) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        std::string* sinks[2] = {&result.out, &result.err};
        int open = 2;
        while (open > 0 && ::poll(fds, 2, 20000) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !fds[i].revents)
                    continue;
                char buffer[512];
                const ssize_t r = ::read(fds[i].fd, buffer, sizeof buffer);
                if (r > 0) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(r));
                } else {
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        int wstatus = 0;
        while (::waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
        }
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return result;
}

RunResult RunCtl(const std::vector<std::string>& args) { return RunProgram(TALVEXCTL_PATH, args); }

class Talvexctl : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_sim.Start()); }

    RunResult Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", m_sim.DevicePath()});
        return RunCtl(args);
    }

    SimTransmitter m_sim;
};

}  // namespace

TEST(TalvexctlCommandLine, HelpAndUsageErrors)
{
    const RunResult help = RunCtl({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: talvexctl --port DEVICE [--json] COMMAND [VALUE]"), std::string::npos);
    EXPECT_NE(help.out.find("swr-point"), std::string::npos);
    EXPECT_NE(help.out.find("switched ON"), std::string::npos) << "--probe must warn that it powers on";

    const RunResult version = RunCtl({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "talvexctl " TALVEX_VERSION "\n");

    struct Bad {
        std::vector<std::string> args;
        const char* message;
    };
    const Bad cases[] = {
        {{"on"}, "no port given"},
        {{"--port", "/dev/null"}, "no command given"},
        {{"--port", "/dev/null", "launch"}, "unknown command: launch"},
        {{"--port", "/dev/null", "freq"}, "freq needs a value"},
        {{"--port", "/dev/null", "status", "now"}, "status takes no value"},
        {{"--port", "/dev/null", "--verbose", "on"}, "unknown option: --verbose"},
        {{"--port"}, "--port needs a device"},
        {{"--port", "/dev/null", "--json", "on"}, "--json goes with status and info only"},
        {{"--port", "/dev/null", "--probe", "status"}, "--probe goes with ports only"},
        {{"--port", "/dev/null", "ports"}, "ports takes only --probe"},
        {{"ports", "all"}, "ports takes no value"},
    };
    for (const Bad& c : cases) {
        const RunResult r = RunCtl(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST_F(Talvexctl, RejectsOutOfRangeAndMalformedValuesWithoutSending)
{
    struct Bad {
        std::vector<std::string> args;
        const char* message;
    };
    const Bad cases[] = {
        {{"freq", "86.9"}, "out of range (87.0 MHz to 108.0 MHz)"},
        {{"freq", "108.1"}, "out of range"},
        {{"freq", "100.05"}, "malformed value for freq"},
        {{"freq", "100,0"}, "malformed value"},
        {{"power", "0.2"}, "out of range (0.3 W to 15.0 W)"},
        {{"power", "15.1"}, "out of range"},
        {{"power", "-1"}, "malformed value"},
        {{"line-vol", "0"}, "out of range (1 to 13)"},
        {{"line-vol", "14"}, "out of range"},
        {{"line-vol", "7.0"}, "malformed value"},
        {{"mic-vol", "31"}, "out of range (1 to 30)"},
        {{"temp-point", "49"}, "out of range (50 C to 70 C)"},
        {{"temp-point", "71"}, "out of range"},
        {{"swr-point", "1.9"}, "out of range (2.0 to 4.0)"},
        {{"swr-point", "4.1"}, "out of range"},
        {{"line", "yes"}, "line takes on or off"},
        {{"stereo", "1"}, "stereo takes on or off"},
    };
    for (const Bad& c : cases) {
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 2) << c.args[0] << " " << c.args[1];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_FALSE(m_sim.WaitForFrames(1, 100ms)) << "nothing may reach the transmitter";
}

TEST_F(Talvexctl, SettingsReachTheTransmitterInTheirUnits)
{
    struct Good {
        std::vector<std::string> args;
        simtest::Bytes frame;
        const char* echo;
    };
    const Good cases[] = {
        {{"on"}, {0x01, 0x01, 0x03}, "transmitter: on"},
        {{"freq", "87.0"}, {0x01, 0x03, 0x0E, 0x03, 0x66}, "freq: 87.0 MHz"},
        {{"freq", "108"}, {0x01, 0x03, 0x0E, 0x04, 0x38}, "freq: 108.0 MHz"},
        {{"power", "12.5"}, {0x01, 0x02, 0x11, 125}, "power: 12.5 W"},
        {{"line-vol", "13"}, {0x01, 0x02, 0x0F, 13}, "line-vol: 13"},
        {{"mic-vol", "1"}, {0x01, 0x02, 0x10, 1}, "mic-vol: 1"},
        {{"temp-point", "55"}, {0x01, 0x02, 0x13, 55}, "temp-point: 55 C"},
        {{"swr-point", "2.5"}, {0x01, 0x02, 0x12, 25}, "swr-point: 2.5"},
        {{"line", "off"}, {0x01, 0x01, 0x04}, "line: off"},
        {{"mic", "on"}, {0x01, 0x01, 0x07}, "mic: on"},
        {{"echo", "on"}, {0x01, 0x01, 0x09}, "echo: on"},
        {{"stereo", "off"}, {0x01, 0x01, 0x0D}, "stereo: off"},
        {{"stereo", "on"}, {0x01, 0x01, 0x0C}, "stereo: on"},
        {{"mono"}, {0x01, 0x01, 0x0D}, "stereo: off"},
        {{"backlight", "off"}, {0x01, 0x01, 0x0B}, "backlight: off"},
        {{"off"}, {0x01, 0x01, 0x02}, "transmitter: standby"},
    };
    for (const Good& c : cases) {
        m_sim.ClearReceived();
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 0) << c.args[0] << ": " << r.err;
        EXPECT_NE(r.out.find(c.echo), std::string::npos) << r.out;
        const auto frames = m_sim.ReceivedFrames();
        ASSERT_EQ(frames.size(), 1u) << c.args[0];
        EXPECT_EQ(frames[0], c.frame) << c.args[0];
    }
    const SimState s = m_sim.State();
    EXPECT_TRUE(s.standby);
    EXPECT_EQ(s.frequency, 1080);
    EXPECT_EQ(s.power, 125);
    EXPECT_FALSE(s.lineOn);
    EXPECT_FALSE(s.micOff);
    EXPECT_TRUE(s.mono);
    EXPECT_FALSE(s.backlightOn);
}

TEST_F(Talvexctl, StatusAndInfoReadEverythingBack)
{
    SimState s = m_sim.State();
    s.standby = false;
    s.mono = true;
    s.frequency = 955;
    s.power = 75;
    s.serial = {0x12, 0xAB, 0x00, 0x05, 0xFF, 0x3C, 0x7E};
    m_sim.SetState(s);
    m_sim.SetReadings({.forwardPower = 74, .reversePower = 1, .swr = 12, .temperature = 41, .level = 30000});

    const RunResult status = Run({"status"});
    ASSERT_EQ(status.status, 0) << status.err;
    for (const char* line :
         {"transmitter: on\n", "sound: mono\n", "echo: off\n", "line: on\n", "mic: off\n", "frequency: 95.5 MHz\n",
          "power setting: 7.5 W\n", "forward power: 7.4 W\n", "swr: 1.2\n", "temperature: 41 C\n", "line volume: 7\n",
          "mic volume: 15\n", "level: 30000\n", "temp point: 65 C\n", "swr point: 3.0\n"})
        EXPECT_NE(status.out.find(line), std::string::npos) << "missing " << line << " in\n" << status.out;

    const RunResult info = Run({"info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("serial: 12AB0005FF3C7E\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("version: 13\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("type: K2 \n"), std::string::npos) << info.out;
}

TEST_F(Talvexctl, JsonIsOneObjectWithUnitsInTheKeys)
{
    SimState s = m_sim.State();
    s.standby = false;
    s.frequency = 1080;
    s.serial = {0x12, 0xAB, 0x00, 0x05, 0xFF, 0x3C, 0x7E};
    m_sim.SetState(s);
    m_sim.SetReadings({.forwardPower = 74, .reversePower = 1, .swr = 12, .temperature = 41, .level = 30000});

    const RunResult status = Run({"--json", "status"});
    ASSERT_EQ(status.status, 0) << status.err;
    EXPECT_EQ(status.out,
              "{\"transmitter\": \"on\", \"sound\": \"stereo\", \"echo_on\": false, \"line_on\": true, "
              "\"mic_on\": false, \"frequency_mhz\": 108.0, \"power_setting_w\": 10.0, \"forward_power_w\": 7.4, "
              "\"swr_ratio\": 1.2, \"temperature_c\": 41, \"line_volume_step\": 7, \"mic_volume_step\": 15, "
              "\"audio_level_raw\": 30000, \"temperature_point_c\": 65, \"swr_point_ratio\": 3.0}\n");

    const RunResult info = Run({"info", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, "{\"serial_number\": \"12AB0005FF3C7E\", \"firmware_version\": \"13\", "
                        "\"device_type\": \"K2 \"}\n");
}

TEST_F(Talvexctl, DeviceFailuresNameTheirCause)
{
    SimFault refuse;
    refuse.kind = SimFaultKind::Refuse;
    m_sim.InjectFault(refuse);
    RunResult r = Run({"freq", "100.0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("set frequency failed: refused by the transmitter"), std::string::npos) << r.err;

    SimFault garbage;
    garbage.kind = SimFaultKind::Garbage;
    m_sim.InjectFault(garbage);
    r = Run({"status"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("read state failed: no reply"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << "no half status on failure: " << r.out;

    SimFault hang;
    hang.kind = SimFaultKind::HangUp;
    hang.downFor = -1ms;
    m_sim.InjectFault(hang);
    r = Run({"on"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("power on failed: "), std::string::npos) << r.err;
}

TEST_F(Talvexctl, ValuesAndReadingsUseAPointInEveryLocale)
{
    ASSERT_TRUE(testlocale::Provide());
    ::setenv("LC_ALL", testlocale::kDecimalComma, 1);
    const RunResult set = Run({"freq", "100.5"});
    const RunResult status = Run({"status"});
    const RunResult comma = Run({"power", "1,5"});
    ::unsetenv("LC_ALL");
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(m_sim.State().frequency, 1005);
    EXPECT_NE(status.out.find("frequency: 100.5 MHz"), std::string::npos) << status.out;
    EXPECT_EQ(comma.status, 2) << "a comma is not a decimal point here";
}

TEST(TalvexctlPort, MissingDeviceExitsWithThree)
{
    simtest::TempDir dir;
    const RunResult r = RunCtl({"--port", dir.File("nothing"), "status"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("cannot open port"), std::string::npos) << r.err;
}

// Each reason an open fails for, in the words the operator reads, and the
// exit status scripts rely on.
TEST_F(Talvexctl, FailedOpenSaysWhyAndWhatToDo)
{
    simtest::TempDir dir;
    std::string ports;
    for (const SerialPortEntry& port : ListSerialPorts())
        ports += "  " + DescribePort(port) + "\n";
    const std::string missing = ports.empty() ? "No serial devices found" : "Serial devices on this machine:\n" + ports;

    const int holder = ::open(m_sim.PtyPath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    struct Case {
        std::string device;
        std::string words;
    };
    const Case cases[] = {
        {dir.File("ttyUSB9"), ": no such device.\n" + missing},
        {"/dev/null", "cannot open port /dev/null: not a serial device."},
        {m_sim.PtyPath(), "busy, another program holds it"},
    };
    for (const Case& c : cases) {
        const RunResult r = RunCtl({"--port", c.device, "status"});
        EXPECT_EQ(r.status, 3) << c.device;
        EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    ::close(holder);
    EXPECT_FALSE(m_sim.WaitForFrames(1, 100ms)) << "nothing may reach the transmitter";
}

TEST_F(Talvexctl, PermissionDeniedNamesTheGroupAndTheCommand)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run talvexctl as another user";
    // A device as udev leaves a USB adapter: group dialout, rw for the group.
    const std::string pty = m_sim.PtyPath();
    struct stat before {};
    ASSERT_EQ(::stat(pty.c_str(), &before), 0);
    const group* dialout = ::getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    ASSERT_EQ(::chown(pty.c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(pty.c_str(), 0660), 0);
    const RunResult r = RunProgram(
        "setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", TALVEXCTL_PATH, "--port", pty, "status"});
    ::chown(pty.c_str(), before.st_uid, before.st_gid);
    ::chmod(pty.c_str(), before.st_mode & 07777);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("cannot open port " + pty + ": permission denied.\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("group 'dialout'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("  sudo usermod -aG dialout nobody\n"), std::string::npos) << r.err;
}

TEST(TalvexctlPorts, ListsThisMachinesPortsAndOpensNone)
{
    // One a line, as the library lists them.
    const RunResult r = RunCtl({"ports"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string expected;
    for (const SerialPortEntry& port : ListSerialPorts())
        expected += DescribePort(port) + "\n";
    EXPECT_EQ(r.out, expected.empty() ? "No serial ports found.\n" : expected);
}
