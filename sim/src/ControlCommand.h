#pragma once
// The commands talvex-sim --control takes on its standard input, one a line,
// read apart from any I/O.

#include "SimState.h"

#include <optional>
#include <string>
#include <string_view>

namespace sim {

struct ControlCommand {
    enum class Action {
        Nothing,     // a blank line: answered, changes nothing
        Hold,        // set NAME VALUE
        Release,     // clear NAME
        ReleaseAll,  // clear all
        HangUp,      // hangup MS
        Standby,     // standby: goes to standby by itself, as a protection trip does
    };
    Action action = Action::Nothing;
    SimReading reading = SimReading::ForwardPower;  // Hold, Release
    int value = 0;                                  // Hold: wire units; HangUp: milliseconds

    bool operator==(const ControlCommand&) const = default;
};

// Reads one line, words separated by blanks:
//   set forward_power|swr|temperature|level VALUE
//   clear forward_power|swr|temperature|level|all
//   hangup MS
//   standby
// VALUE is a plain decimal number (no exponent) in watts, the ratio, degrees
// or the raw level. Watts and the ratio are rounded to tenths and degrees to
// whole ones, half away from zero, and the rounded value must be one the
// reading's bytes carry; the level and MS must be whole numbers. On error
// returns nothing and describes the problem in `error`.
std::optional<ControlCommand> ParseControlCommand(std::string_view line, std::string* error = nullptr);

}  // namespace sim
