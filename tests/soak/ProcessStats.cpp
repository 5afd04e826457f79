#include "ProcessStats.h"

#include <charconv>
#include <cstddef>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (its interface header is not always installed).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace soak {

std::optional<std::int64_t> ParseVmRssKb(std::string_view status)
{
    constexpr std::string_view kKey = "VmRSS:";
    std::size_t at = 0;
    while (at < status.size()) {
        const std::size_t end = status.find('\n', at);
        const std::string_view line = status.substr(at, end == std::string_view::npos ? end : end - at);
        if (line.substr(0, kKey.size()) == kKey) {
            std::size_t first = kKey.size();
            while (first < line.size() && (line[first] == ' ' || line[first] == '\t')) {
                ++first;
            }
            std::int64_t value = 0;
            const auto [rest, error] = std::from_chars(line.data() + first, line.data() + line.size(), value);
            if (error != std::errc() || rest == line.data() + first) {
                return std::nullopt;
            }
            const std::string_view unit =
                std::string_view(rest, static_cast<std::size_t>(line.data() + line.size() - rest));
            if (unit.find("kB") == std::string_view::npos) {
                return std::nullopt;
            }
            return value;
        }
        if (end == std::string_view::npos) {
            break;
        }
        at = end + 1;
    }
    return std::nullopt;
}

std::optional<std::int64_t> ResidentKb()
{
    std::ifstream file("/proc/self/status");
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseVmRssKb(text.str());
}

std::optional<std::int64_t> SanitizerHeapKb()
{
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    return std::nullopt;
#endif
}

double ProcessCpuSeconds()
{
    timespec used{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) {
        return 0.0;
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

}  // namespace soak
