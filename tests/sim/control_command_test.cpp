// The lines talvex-sim --control takes: what each good one asks for, in wire
// units, and why each bad one is refused.

#include "ControlCommand.h"

#include <gtest/gtest.h>

using sim::ControlCommand;
using Action = ControlCommand::Action;

TEST(SimControlCommand, ReadsGoodLinesInWireUnitsAndNamesWhatIsWrongWithBadOnes)
{
    struct Case {
        const char* line;
        ControlCommand command;  // when `error` is empty
        const char* error;
    };
    const Case cases[] = {
        {"set forward_power 10.04", {Action::Hold, SimReading::ForwardPower, 100}, ""},
        {"  set\tswr 1.45 \r", {Action::Hold, SimReading::Swr, 15}, ""},
        {"set swr .96", {Action::Hold, SimReading::Swr, 10}, ""},
        {"set temperature 80.5", {Action::Hold, SimReading::Temperature, 81}, ""},
        {"set level 65535", {Action::Hold, SimReading::Level, 65535}, ""},
        {"clear swr", {Action::Release, SimReading::Swr, 0}, ""},
        {"clear all", {Action::ReleaseAll, SimReading::ForwardPower, 0}, ""},
        {"hangup 300", {Action::HangUp, SimReading::ForwardPower, 300}, ""},
        {"standby", {Action::Standby, SimReading::ForwardPower, 0}, ""},
        {"standby now", {}, "unexpected extra word now"},
        {" \t", {}, ""},
        {"set forward_power 25.55", {}, "forward_power must be 0.0 to 25.5 W"},
        {"set swr -1", {}, "swr must be 1.0 to 25.5"},
        {"set temperature abc", {}, "temperature: abc is not a number"},
        {"set level 70000", {}, "level must be 0 to 65535"},
        {"set level 1.5", {}, "level: 1.5 is not a whole number"},
        {"set swr nan", {}, "swr: nan is not a number"},
        {"set swr 1e400", {}, "swr: 1e400 is not a number"},
        {"set swr 99999999999999999999999", {}, "swr must be 1.0 to 25.5"},
        {"set swr", {}, "set swr needs a value"},
        {"set nonsense 1", {}, "unknown reading nonsense"},
        {"set swr 2 3", {}, "unexpected extra word 3"},
        {"clear", {}, "clear needs a reading or all"},
        {"hangup -5", {}, "hangup must be 0 to 2147483647 ms"},
        {"SET swr 2", {}, "unknown command SET"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto command = sim::ParseControlCommand(c.line, &error);
        EXPECT_EQ(error, c.error) << c.line;
        EXPECT_EQ(command, *c.error ? std::nullopt : std::optional(c.command)) << c.line;
    }
}
