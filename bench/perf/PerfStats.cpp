#include "PerfStats.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace perf {

namespace {

std::string_view NextField(std::string_view& rest)
{
    constexpr std::string_view kBlank = " \t";
    const auto start = rest.find_first_not_of(kBlank);
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const auto end = rest.find_first_of(kBlank);
    const std::string_view field = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    return field;
}

std::optional<std::uint64_t> ToNumber(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<double> Percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty()) {
        return std::nullopt;
    }
    std::sort(samples.begin(), samples.end());
    const double clamped = std::clamp(fraction, 0.0, 1.0);
    // Nearest rank: the smallest sample with at least `fraction` of all
    // samples at or below it.
    const auto rank = static_cast<std::size_t>(std::ceil(clamped * static_cast<double>(samples.size())));
    return samples[rank == 0 ? 0 : rank - 1];
}

std::vector<double> Intervals(const std::vector<double>& stampsMs)
{
    std::vector<double> out;
    for (std::size_t i = 1; i < stampsMs.size(); ++i) {
        out.push_back(stampsMs[i] - stampsMs[i - 1]);
    }
    return out;
}

std::optional<std::uint64_t> CpuTicksFromStat(std::string_view statLine)
{
    // "pid (comm) state ppid ...": the command name may hold spaces and
    // parentheses, so the fields are counted from the last ')'.
    const auto close = statLine.rfind(')');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = statLine.substr(close + 1);
    // After the name: state is field 3, utime field 14, stime field 15.
    constexpr int kUtimeIndex = 14 - 3;
    std::optional<std::uint64_t> utime;
    std::optional<std::uint64_t> stime;
    for (int index = 0; index <= kUtimeIndex + 1; ++index) {
        const std::string_view field = NextField(rest);
        if (field.empty()) {
            return std::nullopt;
        }
        if (index == kUtimeIndex) {
            utime = ToNumber(field);
        } else if (index == kUtimeIndex + 1) {
            stime = ToNumber(field);
        }
    }
    if (!utime || !stime) {
        return std::nullopt;
    }
    return *utime + *stime;
}

std::optional<std::uint64_t> ResidentKbFromStatus(std::string_view statusText)
{
    constexpr std::string_view kKey = "VmRSS:";
    std::size_t at = 0;
    while (at < statusText.size()) {
        const auto end = statusText.find('\n', at);
        std::string_view line =
            statusText.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? statusText.size() : end + 1;
        if (!line.starts_with(kKey)) {
            continue;
        }
        line.remove_prefix(kKey.size());
        const std::string_view number = NextField(line);
        const std::string_view unit = NextField(line);
        if (unit != "kB") {
            return std::nullopt;
        }
        return ToNumber(number);
    }
    return std::nullopt;
}

double CorePercent(std::uint64_t ticks, long ticksPerSecond, double seconds)
{
    if (ticksPerSecond <= 0 || seconds <= 0.0) {
        return 0.0;
    }
    return 100.0 * static_cast<double>(ticks) / static_cast<double>(ticksPerSecond) / seconds;
}

}  // namespace perf
