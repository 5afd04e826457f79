// talvex-sim: a simulated transmitter on a pseudo-terminal, for trying the
// control panel and talvexctl without the hardware.

#include "SimTransmitter.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] = "Usage: talvex-sim [--link PATH] [--fault FAULT]... [--seed N] [--trace]\n"
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
                      "  --help         show this text\n"
                      "\n"
                      "Examples: --fault refuse@0e   --fault delay=300   --fault hangup=2000@18,once\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "talvex-sim: %s\nTry 'talvex-sim --help'.\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    options.recordFrames = false;  // runs for as long as wanted: nobody reads the record
    std::vector<SimFault> faults;
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

    // Signals are taken synchronously below; block them before the worker
    // thread starts so it inherits the mask and never receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

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

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    sim.Stop();
    return 0;
}
