#pragma once
// Reading command-line values in the panel's units. Nothing here accepts a
// value it cannot represent exactly: "100.05" MHz is rejected rather than
// rounded, so a script never tunes somewhere it did not ask for.

#include <optional>
#include <string>
#include <string_view>

// A whole number without sign: "7". Up to six digits.
std::optional<int> ParseWhole(std::string_view text);
// A decimal with at most one significant decimal digit, in tenths:
// "100" -> 1000, "100.1" -> 1001, "100.10" -> 1001. No sign, no exponent.
std::optional<int> ParseTenths(std::string_view text);
// "on" -> true, "off" -> false.
std::optional<bool> ParseOnOff(std::string_view text);
// Tenths as text with one decimal: 1000 -> "100.0".
std::string FormatTenths(int tenths);
