#pragma once
// Small statistics and /proc readers for the performance table.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace perf {

// The value below which `fraction` (0..1) of the samples lie, by nearest
// rank: the median is Percentile(s, 0.5), the 99th percentile
// Percentile(s, 0.99). Nothing for an empty sample set.
std::optional<double> Percentile(std::vector<double> samples, double fraction);

// Differences between consecutive time stamps (ms), oldest first.
std::vector<double> Intervals(const std::vector<double>& stampsMs);

// CPU time a process has used, in clock ticks: utime + stime from the text
// of /proc/<pid>/stat. Nothing when the text is not such a line.
std::optional<std::uint64_t> CpuTicksFromStat(std::string_view statLine);

// Resident set size in kB from the text of /proc/<pid>/status (VmRSS).
std::optional<std::uint64_t> ResidentKbFromStatus(std::string_view statusText);

// Share of one core, in percent, for `ticks` used over `seconds` of wall time.
double CorePercent(std::uint64_t ticks, long ticksPerSecond, double seconds);

}  // namespace perf
