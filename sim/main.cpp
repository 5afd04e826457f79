// talvex-sim: a simulated transmitter on a pseudo-terminal, for trying the
// control panel and talvexctl without the hardware.

#include "ControlCommand.h"
#include "SimTransmitter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/signalfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] = "Usage: talvex-sim [--link PATH] [--fault FAULT]... [--seed N] [--trace]\n"
                      "                  [--control]\n"
                      "\n"
                      "Simulates the FM transmitter on a pseudo-terminal and prints the device\n"
                      "path to open. Runs until interrupted (SIGINT or SIGTERM).\n"
                      "\n"
                      "  --link PATH    keep a symbolic link at PATH pointing at the device; it is\n"
                      "                 absent while the line is down after a hang-up, points at\n"
                      "                 the new device when it is back, and is removed on exit\n"
                      "  --fault FAULT  misbehave on purpose; FAULT is KIND[=N][@CODE][,once]\n"
                      "                 KIND: refuse, silent, short, drop=BYTES, extra=BYTES,\n"
                      "                       garbage, delay=MS, hangup=MS (time until it is back)\n"
                      "                 CODE: command code in hex (all commands if left out)\n"
                      "                 ,once: only for the first matching request\n"
                      "  --seed N       seed of the moving readings\n"
                      "  --trace        print every request frame as it arrives, in hex\n"
                      "                 (\"request: 01 01 18 ...\"), before it is answered\n"
                      "  --control      take commands on standard input, one a line, and answer\n"
                      "                 each with \"ok\" or \"error: REASON\" (a bad line changes\n"
                      "                 nothing); a blank line is answered \"ok\"\n"
                      "                   set forward_power W  hold it at 0.0 to 25.5 (tenths rounded)\n"
                      "                   set swr RATIO        hold it at 1.0 to 25.5 (tenths rounded)\n"
                      "                   set temperature C    hold it at 0 to 255 (degrees rounded)\n"
                      "                   set level RAW        hold it at 0 to 65535 (whole number)\n"
                      "                   clear NAME|all       let it move by itself again\n"
                      "                   hangup MS            drop the line for MS milliseconds;\n"
                      "                                        answered once it is down\n"
                      "                   standby              go to standby by itself, as its\n"
                      "                                        protection does after a trip\n"
                      "                 A held reading is sent from the next request on and\n"
                      "                 reverse power follows it; the others keep moving. At\n"
                      "                 the end of the input it keeps running without commands.\n"
                      "  --help         show this text\n"
                      "\n"
                      "Examples: --fault refuse@0e   --fault delay=300   --fault hangup=2000@18,once\n"
                      "          echo 'set swr 3.2' | talvex-sim --control\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "talvex-sim: %s\nTry 'talvex-sim --help'.\n", message.c_str());
    return 2;
}

// Answered once the line is down, so that whoever sent it finds the link gone.
void HangUp(SimTransmitter& sim, std::chrono::milliseconds downFor)
{
    const unsigned generation = sim.LineGeneration();
    sim.HangUp(downFor);
    for (int i = 0; i < 200 && sim.IsLineUp() && sim.LineGeneration() == generation; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Carries out one --control line; returns the line to answer with.
std::string Obey(SimTransmitter& sim, std::string_view line)
{
    std::string error;
    const std::optional<sim::ControlCommand> command = sim::ParseControlCommand(line, &error);
    if (!command)
        return "error: " + error;
    using Action = sim::ControlCommand::Action;
    switch (command->action) {
    case Action::Nothing: break;
    case Action::Hold: sim.HoldReading(command->reading, command->value); break;
    case Action::Release: sim.ReleaseReading(command->reading); break;
    case Action::ReleaseAll:
        for (const SimReading reading : kSimHoldableReadings)
            sim.ReleaseReading(reading);
        break;
    case Action::HangUp: HangUp(sim, std::chrono::milliseconds(command->value)); break;
    case Action::Standby: {
        SimState state = sim.State();
        state.standby = true;
        sim.SetState(state);
        break;
    }
    }
    return "ok";
}

}  // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    options.recordFrames = false;  // runs for as long as wanted: nobody reads the record
    std::vector<SimFault> faults;
    bool control = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--link" && hasValue) {
            options.linkPath = argv[++i];
        } else if (arg == "--fault" && hasValue) {
            std::string error;
            const auto fault = ParseSimFault(argv[++i], &error);
            if (!fault)
                return UsageError(error);
            faults.push_back(*fault);
        } else if (arg == "--trace") {
            options.onFrame = [](const SimTransmitter::Frame& frame) {
                std::string line = "request:";
                char hex[4];
                for (const std::uint8_t byte : frame) {
                    std::snprintf(hex, sizeof hex, " %02x", byte);
                    line += hex;
                }
                std::puts(line.c_str());
                std::fflush(stdout);
            };
        } else if (arg == "--control") {
            control = true;
        } else if (arg == "--seed" && hasValue) {
            try {
                options.seed = static_cast<unsigned>(std::stoul(argv[++i]));
            } catch (const std::exception&) {
                return UsageError(std::string("bad seed: ") + argv[i]);
            }
        } else if (arg == "--link" || arg == "--fault" || arg == "--seed") {
            return UsageError("option " + arg + " needs a value");
        } else {
            return UsageError("unknown argument: " + arg);
        }
    }

    // Signals are taken synchronously below, through a descriptor so that one
    // wait covers them and the commands; block them before the worker thread
    // starts so it inherits the mask and never receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
    if (signals < 0) {
        std::fprintf(stderr, "talvex-sim: signalfd: %s\n", std::strerror(errno));
        return 1;
    }

    SimTransmitter sim(options);
    for (const SimFault& fault : faults)
        sim.InjectFault(fault);
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "talvex-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("device: %s\n", sim.PtyPath().c_str());
    if (!options.linkPath.empty())
        std::printf("link: %s\n", options.linkPath.c_str());
    std::fflush(stdout);

    int input = control ? STDIN_FILENO : -1;  // -1 once the input has ended
    std::string received;                     // input not yet answered
    for (;;) {
        pollfd fds[2] = {{signals, POLLIN, 0}, {input, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;  // EINTR: nothing else fails with these arguments
        if (fds[0].revents & POLLIN)
            break;
        if (fds[1].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t r = ::read(input, buffer, sizeof buffer);
        if (r < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (r > 0) {
            received.append(buffer, static_cast<std::size_t>(r));
        } else {
            input = -1;
            if (!received.empty())
                received += '\n';  // a last line without its newline is still a command
        }
        for (std::size_t end; (end = received.find('\n')) != std::string::npos; received.erase(0, end + 1)) {
            std::printf("%s\n", Obey(sim, std::string_view(received).substr(0, end)).c_str());
            std::fflush(stdout);
        }
    }
    sim.Stop();
    ::close(signals);
    return 0;
}
