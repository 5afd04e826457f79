#pragma once
// The protection dialog reads its two entries (UTF-16, as the entry fields
// hold them) the way the C runtime's atoi
// and atof read text: leading white space, an optional sign, the longest
// leading number, and 0 when there is none. The readings are independent of
// the locale: the decimal mark is always a point.
//
// Where the C functions would overflow or produce a value that is not a
// finite number, these return no value at all, so the caller can treat the
// entry as out of range instead of acting on an undefined result.

#include <optional>
#include <string_view>

// atoi: "60abc" is 60, "abc" is 0; no value when the digits do not fit an int.
std::optional<int> AtoiEntry(std::u16string_view text);

// atof for decimal numbers ("2.5", "-.5", "4e0"): "x" is 0; no value for
// "inf", "nan" or a number too large for a double.
std::optional<double> AtofEntry(std::u16string_view text);

// A ratio entered with one decimal, as an integer in tenths: atof x 10 + 0.5,
// truncated toward zero ("4" is 40, "2.04" is 20, "2.05" is 21). No value
// when the entry has none or the tenths do not fit an int.
std::optional<int> TenthsEntry(std::u16string_view text);
