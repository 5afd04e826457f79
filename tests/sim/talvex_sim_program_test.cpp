// The talvex-sim program: what it prints, its options, and that it cleans
// up its link when stopped by a signal.

#include "SimTestSupport.h"

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

// talvex-sim running in the background with its stdout on a pipe.
class SimProgram
{
public:
    explicit SimProgram(std::vector<std::string> args)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), TALVEX_SIM_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, TALVEX_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~SimProgram()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        if (m_out >= 0)
            ::close(m_out);
    }

    // Output up to the first time `text` appears, or what came before `timeout`.
    std::string ReadUntil(const std::string& text, std::chrono::milliseconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (m_output.find(text) == std::string::npos && std::chrono::steady_clock::now() < end) {
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
