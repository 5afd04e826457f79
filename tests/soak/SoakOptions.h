#pragma once
// The soak program's command line:
//   talvex-soak [--seconds N | --minutes N] [--seed S]
// Without a seed one is drawn from the clock; either way it is printed, so a
// run can be repeated with the same choices.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace soak {

struct SoakOptions {
    int seconds = 60;
    std::uint32_t seed = 0;
    bool seedGiven = false;
};

// Parses the arguments after the program name; nothing (and the reason in
// `error`) when they cannot be understood.
std::optional<SoakOptions> ParseSoakOptions(const std::vector<std::string>& args, std::string* error);
std::string SoakUsage();

}  // namespace soak
