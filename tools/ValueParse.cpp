#include "ValueParse.h"

namespace {

constexpr std::size_t kMaxDigits = 6;

bool AllDigits(std::string_view text)
{
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

std::optional<int> ParseWhole(std::string_view text)
{
    if (text.empty() || text.size() > kMaxDigits || !AllDigits(text))
        return std::nullopt;
    int value = 0;
    for (char c : text)
        value = value * 10 + (c - '0');
    return value;
}

std::optional<int> ParseTenths(std::string_view text)
{
    std::string_view whole = text;
    std::string_view fraction;
    if (const auto dot = text.find('.'); dot != std::string_view::npos) {
        whole = text.substr(0, dot);
        fraction = text.substr(dot + 1);
        if (fraction.empty() || !AllDigits(fraction))
            return std::nullopt;
        if (fraction.find_first_not_of('0', 1) != std::string_view::npos)
            return std::nullopt;  // finer than a tenth
    }
    const auto units = ParseWhole(whole);
    if (!units)
        return std::nullopt;
    const int tenth = fraction.empty() ? 0 : fraction[0] - '0';
    return *units * 10 + tenth;
}

std::optional<bool> ParseOnOff(std::string_view text)
{
    if (text == "on")
        return true;
    if (text == "off")
        return false;
    return std::nullopt;
}

std::string FormatTenths(int tenths)
{
    const char* sign = tenths < 0 ? "-" : "";
    const int magnitude = tenths < 0 ? -tenths : tenths;
    return sign + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}
