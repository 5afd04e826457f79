// The talvex-sim program: what it prints, its options, that it cleans up
// its link when stopped by a signal, and its --control commands as a client
// of the library sees them.

#include "SimTestSupport.h"
#include "Talvex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace std::chrono_literals;
using simtest::Bytes;

namespace {

// talvex-sim running in the background with its stdin and stdout on pipes.
class SimProgram
{
public:
    explicit SimProgram(std::vector<std::string> args)
    {
        int out[2];
        int in[2];
        if (::pipe(out) != 0 || ::pipe(in) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        args.insert(args.begin(), TALVEX_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, TALVEX_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(in[0]);
        m_out = out[0];
        m_in = in[1];
    }
    ~SimProgram()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        if (m_out >= 0)
            ::close(m_out);
        if (m_in >= 0)
            ::close(m_in);
    }

    // Output up to the first time `text` appears after `from`, or what came before `timeout`.
    std::string ReadUntil(const std::string& text, std::chrono::milliseconds timeout, std::size_t from = 0)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (m_output.find(text, from) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t r = ::read(m_out, buffer, sizeof buffer);
            if (r <= 0)
                break;
            m_output.append(buffer, static_cast<std::size_t>(r));
        }
        return m_output;
    }
    // Sends one --control line and returns the line it is answered with.
    std::string Answer(const std::string& command)
    {
        const std::size_t from = m_output.size();
        const std::string line = command + "\n";
        if (::write(m_in, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return "(not sent)";
        const std::string out = ReadUntil("\n", 3000ms, from);
        return out.substr(from, out.find('\n', from) - from);
    }
    // The exit status, or -1 when it does not end within `timeout`.
    int Stop(int signal, std::chrono::milliseconds timeout)
    {
        ::kill(m_pid, signal);
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    int Wait()
    {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_in = -1;
    std::string m_output;
};

bool IsLink(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

TEST(TalvexSimProgram, ServesOnItsLinkWithFaultsAndRemovesTheLinkOnSignals)
{
    for (int signal : {SIGTERM, SIGINT}) {
        simtest::TempDir dir;
        const std::string link = dir.File("tx");
        SimProgram sim({"--link", link, "--fault", "refuse@1c", "--fault", "hangup=100@02,once"});
        const std::string out = sim.ReadUntil("link: " + link + "\n", 3000ms);
        ASSERT_NE(out.find("device: /dev/pts/"), std::string::npos) << out;
        ASSERT_TRUE(IsLink(link));
        {
            simtest::RawClient client(link);
            ASSERT_TRUE(client.IsOpen());
            EXPECT_EQ(client.Exchange({0x01, 0x01, 0x1C}, 2), simtest::kRefused);
            EXPECT_EQ(client.Exchange({0x01, 0x01, 0x1D}, 3), simtest::Ok({7}));
            ASSERT_TRUE(client.Write({0x01, 0x01, 0x02}));
            EXPECT_TRUE(client.SeesHangUp(1000ms));
        }
        // Back behind the same link after the hang-up.
        Bytes answer;
        for (int i = 0; i < 50 && answer.empty(); ++i) {
            std::this_thread::sleep_for(20ms);
            simtest::RawClient client(link);
            if (client.IsOpen())
                answer = client.Exchange({0x01, 0x01, 0x1E}, 3);
        }
        EXPECT_EQ(answer, simtest::Ok({15}));

        EXPECT_EQ(sim.Stop(signal, 3000ms), 0) << signal;
        EXPECT_FALSE(IsLink(link)) << "link left behind after signal " << signal;
    }
}

TEST(TalvexSimProgram, RejectsBadOptions)
{
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--fault", "explode"}, "unknown fault: explode"},
        {{"--fault"}, "needs a value"},
        {{"--seed", "x"}, "bad seed"},
        {{"--frobnicate"}, "unknown argument"},
    };
    for (const Case& c : cases) {
        SimProgram sim(c.args);
        EXPECT_NE(sim.ReadUntil(c.message, 2000ms).find(c.message), std::string::npos) << c.message;
        EXPECT_EQ(sim.Wait(), 2) << c.message;
    }
    SimProgram help({"--help"});
    EXPECT_NE(help.ReadUntil("--fault FAULT", 2000ms).find("Usage: talvex-sim"), std::string::npos);
    EXPECT_EQ(help.Wait(), 0);
}

TEST(TalvexSimProgram, ControlHoldsOneReadingAtATimeAndHangsUpOnCommand)
{
    simtest::TempDir dir;
    const std::string link = dir.File("tx");
    SimProgram sim({"--control", "--link", link});
    ASSERT_NE(sim.ReadUntil("link: " + link + "\n", 3000ms).find("link: "), std::string::npos);
    const auto open = [&] {
        return OpenCommPath(link.c_str(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr);
    };
    const auto read = [](int(TALVEX_CALL * get)(int*, int)) {
        int value = -1;
        return get(&value, TALVEX_REPLY_DELAY_MS) == 1 ? value : -1;
    };
    ASSERT_EQ(open(), 1);

    const std::pair<const char*, const char*> steps[] = {
        {"set swr 3.04", "ok"},
        {"set forward_power 10", "ok"},
        {"set temperature 80.5", "ok"},
        {"", "ok"},
        {"set level 70000", "error: level must be 0 to 65535"},
    };
    for (const auto& [command, answer] : steps)
        EXPECT_EQ(sim.Answer(command), answer) << command;
    EXPECT_EQ(read(GetStdyWaveRatio), 30);
    EXPECT_EQ(read(GetFwdPWR), 100) << "held although the transmitter is in standby";
    EXPECT_EQ(read(GetRvrPWR), 25) << "a quarter of the power is reflected at SWR 3.0";
    EXPECT_EQ(read(GetTemperature), 81);
    EXPECT_EQ(sim.Answer("clear swr"), "ok");
    EXPECT_LE(read(GetStdyWaveRatio), 13) << "moves by itself again";

    EXPECT_EQ(sim.Answer("hangup 300"), "ok");
    EXPECT_FALSE(IsLink(link)) << "the line is down once the hang-up is answered";
    int back = 0;
    for (int i = 0; i < 100 && back != 1; ++i) {
        std::this_thread::sleep_for(20ms);
        back = IsLink(link) ? open() : 0;
    }
    EXPECT_EQ(back, 1) << "the line did not come back";
    CloseComm();
    EXPECT_EQ(sim.Stop(SIGTERM, 3000ms), 0);
}
