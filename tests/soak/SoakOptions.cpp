#include "SoakOptions.h"

#include <charconv>
#include <limits>

namespace soak {

namespace {

template <typename T>
std::optional<T> ParseNumber(const std::string& text, T low, T high)
{
    T value{};
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<SoakOptions> ParseSoakOptions(const std::vector<std::string>& args, std::string* error)
{
    SoakOptions options;
    const auto fail = [error](const std::string& why) -> std::optional<SoakOptions> {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    constexpr int kMaxSeconds = 7 * 24 * 3600;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg != "--seconds" && arg != "--minutes" && arg != "--seed") {
            return fail("unknown argument '" + arg + "'");
        }
        if (i + 1 >= args.size()) {
            return fail(arg + " needs a value");
        }
        const std::string& value = args[++i];
        if (arg == "--seed") {
            const auto seed = ParseNumber<std::uint32_t>(value, 0, std::numeric_limits<std::uint32_t>::max());
            if (!seed) {
                return fail("--seed takes a number from 0 to 4294967295, not '" + value + "'");
            }
            options.seed = *seed;
            options.seedGiven = true;
            continue;
        }
        const int scale = arg == "--minutes" ? 60 : 1;
        const auto amount = ParseNumber<int>(value, 1, kMaxSeconds / scale);
        if (!amount) {
            return fail(arg + " takes a positive whole number, not '" + value + "'");
        }
        options.seconds = *amount * scale;
    }
    return options;
}

std::string SoakUsage()
{
    return "usage: talvex-soak [--seconds N | --minutes N] [--seed S]\n"
           "Runs the panel against the simulated transmitter with random faults and\n"
           "operator actions; exits 0 when every check held, 1 when one failed.\n";
}

}  // namespace soak
