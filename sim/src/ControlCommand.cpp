#include "ControlCommand.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace sim {

namespace {

// How a number is written and what it may be.
struct ValueForm {
    std::string_view name;
    int decimals;                // digits kept after the point: the unit on the wire
    bool whole;                  // a point is refused rather than rounded away
    SimRange range;              // in units on the wire
    std::string_view rangeText;  // the range as it is written
};

struct ReadingName {
    SimReading reading;
    ValueForm form;
};

// The ranges are what the bytes carry: one byte of 0.1 W, one byte of SWR
// tenths (below 1.0 is no ratio at all), one byte of degrees and the level's
// two bytes.
constexpr ReadingName kReadings[] = {
    {SimReading::ForwardPower, {"forward_power", 1, false, {0, 255}, "0.0 to 25.5 W"}},
    {SimReading::Swr, {"swr", 1, false, {10, 255}, "1.0 to 25.5"}},
    {SimReading::Temperature, {"temperature", 0, false, {0, 255}, "0 to 255"}},
    {SimReading::Level, {"level", 0, true, {0, 0xFFFF}, "0 to 65535"}},
};

// As --fault hangup=MS takes it.
constexpr ValueForm kHangUpForm{"hangup", 0, true, {0, std::numeric_limits<int>::max()}, "0 to 2147483647 ms"};

// Beyond every range; keeps a long string of digits from overflowing.
constexpr long long kSaturated = 1'000'000'000'000LL;

std::optional<ControlCommand> Fail(std::string* error, std::string message)
{
    if (error)
        *error = std::move(message);
    return std::nullopt;
}

std::vector<std::string_view> Words(std::string_view line)
{
    constexpr std::string_view kBlanks = " \t\r\n";
    std::vector<std::string_view> words;
    std::size_t at = line.find_first_not_of(kBlanks);
    while (at != std::string_view::npos) {
        const std::size_t end = std::min(line.find_first_of(kBlanks, at), line.size());
        words.push_back(line.substr(at, end - at));
        at = line.find_first_not_of(kBlanks, end);
    }
    return words;
}

// `text` ("12", "-1.46", ".5") in units of 10^-decimals, rounded half away
// from zero on the decimal digits themselves, so 1.45 is 15 tenths exactly.
std::optional<long long> ParseDecimal(std::string_view text, int decimals)
{
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+'))
        text.remove_prefix(1);
    const std::size_t point = text.find('.');
    const std::string_view integer = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    const auto digits = [](std::string_view s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if ((integer.empty() && fraction.empty()) || !digits(integer) || !digits(fraction))
        return std::nullopt;
    long long units = 0;
    for (const char c : integer)
        units = std::min(units * 10 + (c - '0'), kSaturated);
    for (std::size_t i = 0; i < static_cast<std::size_t>(decimals); ++i)
        units = std::min(units * 10 + (i < fraction.size() ? fraction[i] - '0' : 0), kSaturated);
    if (fraction.size() > static_cast<std::size_t>(decimals) && fraction[decimals] >= '5')
        ++units;
    return negative ? -units : units;
}

std::optional<int> ParseValue(const ValueForm& form, std::string_view text, std::string* error)
{
    const std::string quoted(text);
    const std::optional<long long> units = ParseDecimal(text, form.decimals);
    if (!units) {
        Fail(error, std::string(form.name) + ": " + quoted + " is not a number");
        return std::nullopt;
    }
    if (form.whole && text.find('.') != std::string_view::npos) {
        Fail(error, std::string(form.name) + ": " + quoted + " is not a whole number");
        return std::nullopt;
    }
    if (*units < form.range.low || *units > form.range.high) {
        Fail(error, std::string(form.name) + " must be " + std::string(form.rangeText));
        return std::nullopt;
    }
    return static_cast<int>(*units);
}

const ReadingName* FindReading(std::string_view name)
{
    for (const ReadingName& r : kReadings)
        if (r.form.name == name)
            return &r;
    return nullptr;
}

}  // namespace

std::optional<ControlCommand> ParseControlCommand(std::string_view line, std::string* error)
{
    using Action = ControlCommand::Action;
    const std::vector<std::string_view> words = Words(line);
    if (words.empty())
        return ControlCommand{};
    const std::string verb(words[0]);
    const std::size_t wanted = verb == "set" ? 3 : verb == "clear" || verb == "hangup" ? 2 : verb == "standby" ? 1 : 0;
    if (wanted == 0)
        return Fail(error, "unknown command " + verb);
    if (words.size() > wanted)
        return Fail(error, "unexpected extra word " + std::string(words[wanted]));

    if (verb == "standby")
        return ControlCommand{Action::Standby, SimReading::ForwardPower, 0};
    if (verb == "hangup") {
        if (words.size() < 2)
            return Fail(error, "hangup needs a time in milliseconds");
        const std::optional<int> ms = ParseValue(kHangUpForm, words[1], error);
        if (!ms)
            return std::nullopt;
        return ControlCommand{Action::HangUp, SimReading::ForwardPower, *ms};
    }
    if (words.size() < 2)
        return Fail(error, verb == "set" ? "set needs a reading and a value" : "clear needs a reading or all");
    if (verb == "clear" && words[1] == "all")
        return ControlCommand{Action::ReleaseAll, SimReading::ForwardPower, 0};
    const ReadingName* reading = FindReading(words[1]);
    if (!reading)
        return Fail(error, "unknown reading " + std::string(words[1]));
    if (verb == "clear")
        return ControlCommand{Action::Release, reading->reading, 0};
    if (words.size() < 3)
        return Fail(error, "set " + std::string(words[1]) + " needs a value");
    const std::optional<int> value = ParseValue(reading->form, words[2], error);
    if (!value)
        return std::nullopt;
    return ControlCommand{Action::Hold, reading->reading, *value};
}

}  // namespace sim
