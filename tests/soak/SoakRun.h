#pragma once
// One soak run: the panel's main window, in this process and off screen,
// against the simulated transmitter on a link path, with random faults and a
// random operator, for the given time. Checks liveness all along and the
// line, the schedule file and memory at the end, and prints what happened.

#include "SoakOptions.h"

namespace soak {

// Exit codes of the program.
constexpr int kSoakPassed = 0;
constexpr int kSoakCheckFailed = 1;
constexpr int kSoakCannotRun = 2;
constexpr int kSoakDeadlock = 3;

// Runs the soak; needs the program's QApplication.
int RunSoak(const SoakOptions& options);

}  // namespace soak
