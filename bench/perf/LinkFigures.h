#pragma once
// Figures of the serial link against the simulated transmitter on a
// pseudo-terminal: one exchange, and one full status cycle of the status
// thread.

#include <optional>

namespace perf {

struct TransactionFigures {
    std::optional<double> medianMs;  // cost beyond the 50 ms pause and the reply delay
    std::optional<double> p99Ms;
    int samples = 0;
    int replyDelayMs = 0;
};

// `count` GetRtVol exchanges with the level thread's 20 ms reply delay.
TransactionFigures MeasureTransactions(int count);

struct StatusCycleFigures {
    std::optional<double> medianMs;  // one cycle of seven exchanges, the 500 ms wait taken off
    int cycles = 0;
};

// Runs the real status thread (alone, so nothing else takes the line between
// its readings) for `cycles` + 1 cycles and times the gaps between its
// temperature readings, the last reading of a cycle.
StatusCycleFigures MeasureStatusCycle(int cycles);

// What the fixed waits of the status cycle add up to: seven exchanges, each
// the 50 ms pause plus the 100 ms reply delay.
constexpr double kMandatedStatusCycleMs = 7 * (50.0 + 100.0);

}  // namespace perf
