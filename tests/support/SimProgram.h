#pragma once
// talvex-sim as a program, with its standard input and output on pipes: what
// it prints, and its --control commands.

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace simtest {

using namespace std::chrono_literals;

// talvex-sim running in the background with its stdin and stdout on pipes.
class SimProgram
{
public:
    // `program` is talvex-sim, started with `args`.
    SimProgram(const std::string& program, std::vector<std::string> args)
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
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
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

}  // namespace simtest
