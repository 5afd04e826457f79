#pragma once
// Figures of the whole panel: start-up to its first shown window, and what
// the running program costs while it polls.

#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace perf {

// Exchanges the start-up must wait for: the probe's StartUp, then GetDevType,
// GetDevState, GetFMFreq, GetLaunchPWR, GetLineVol and GetMicVol, each the
// 50 ms pause plus the 100 ms reply delay.
constexpr double kMandatedStartUpMs = 7 * (50.0 + 100.0);

// Median over `runs` of the time from constructing the main window (in this
// process, on a simulated transmitter) to its first paint.
std::optional<double> MeasureStartUp(int runs);

struct RepaintFigures {
    std::optional<double> perSecond;          // paint events of the window and its controls
    std::optional<double> readingsPerSecond;  // readings that arrived meanwhile
    std::string busiest;                      // the control painted most, and how often
};

// Opens the main window in this process on a simulated transmitter, lets it
// poll for `settleSeconds`, then counts paint events over `seconds`.
RepaintFigures MeasureRepaints(double settleSeconds, double seconds);

struct RunningFigures {
    std::optional<double> corePercent;  // share of one core while polling
    std::optional<std::uint64_t> residentKb;
    double seconds = 0;
};

// Starts `program --simulate` on the offscreen platform in a scratch
// directory, lets it start up for `settleSeconds`, then measures its CPU time
// over `seconds` and its resident memory at the end, and ends it.
RunningFigures MeasureRunningPanel(const QString& program, double settleSeconds, double seconds);

}  // namespace perf
