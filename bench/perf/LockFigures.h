#pragma once
// How the device mutex is shared while both pollers run: how long an operator
// action waits for the line, and how often the level meter still gets it.

#include <optional>

namespace perf {

struct LockFigures {
    std::optional<double> longestWaitMs;  // an operator action waiting for the device mutex
    std::optional<double> medianWaitMs;
    std::optional<double> levelPerSecond;  // level readings while the status thread polls
    int actions = 0;
};

// Runs the real level and status threads against a simulated transmitter for
// `seconds` while this (user-interface) thread takes the device mutex every
// 40 to 90 ms, as an operator's clicks would.
LockFigures MeasureLockSharing(double seconds);

// The longest an operator action should wait: the transaction in progress (a
// status reading, 50 + 100 ms) and at most one other thread's queued before
// it (a level reading, 50 + 20 ms), with 5 ms for the line.
constexpr double kLockWaitGoalMs = 150.0 + 70.0 + 5.0;

}  // namespace perf
