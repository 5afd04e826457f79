#include "EntryConversion.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>
#include <system_error>

namespace {

// The C locale's isspace: blank, tab, newline, vertical tab, form feed, return.
bool IsCSpace(char16_t u) { return u == u' ' || (u >= u'\t' && u <= u'\r'); }

bool IsDigit(char16_t u) { return u >= u'0' && u <= u'9'; }

std::size_t SkipSpace(std::u16string_view text, std::size_t i)
{
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    return i;
}

// `word` is lower-case ASCII; the C library compares "inf" and "nan" in the
// C locale, letter case aside.
bool StartsWithNoCase(std::u16string_view text, std::size_t i, std::u16string_view word)
{
    if (text.size() - i < word.size()) {
        return false;
    }
    for (std::size_t k = 0; k < word.size(); ++k) {
        char16_t c = text[i + k];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != word[k]) {
            return false;
        }
    }
    return true;
}

// The power of ten of the first significant digit of a decimal number with
// at least one non-zero digit ("120" 2, "0.05" -2, "1e-7" -7), saturated so
// that absurd exponents cannot overflow.
long long DecimalMagnitude(const std::string& number)
{
    const std::size_t e = number.find('e');
    const std::string mantissa = number.substr(0, e);
    long long exponent = 0;
    if (e != std::string::npos) {
        std::size_t k = e + 1;
        const bool negative = k < number.size() && number[k] == '-';
        if (k < number.size() && (number[k] == '-' || number[k] == '+')) {
            ++k;
        }
        for (; k < number.size(); ++k) {
            exponent = std::min(exponent * 10 + (number[k] - '0'), 1'000'000'000LL);
        }
        exponent = negative ? -exponent : exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string::npos) {
        return LLONG_MIN / 2;  // zero
    }
    const long long position =
        first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    return position + exponent;
}

}  // namespace

std::optional<int> AtoiEntry(std::u16string_view text)
{
    std::size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate as a negative number so INT_MIN itself is representable.
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 - (text[i] - u'0');
        if (value < static_cast<long long>(INT_MIN)) {
            return std::nullopt;
        }
    }
    if (!negative) {
        value = -value;
        if (value > INT_MAX) {
            return std::nullopt;
        }
    }
    return static_cast<int>(value);
}

std::optional<double> AtofEntry(std::u16string_view text)
{
    std::size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (StartsWithNoCase(text, i, u"inf") || StartsWithNoCase(text, i, u"nan")) {
        return std::nullopt;
    }

    // Collect the longest leading decimal number: digits, an optional point
    // and fraction, and an exponent only when at least one digit follows it.
    std::string number;
    bool anyDigit = false;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        number += static_cast<char>(text[i]);
        anyDigit = true;
    }
    if (i < text.size() && text[i] == u'.') {
        number += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i) {
            number += static_cast<char>(text[i]);
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        return 0.0;
    }
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) {
            exponent += static_cast<char>(text[j]);
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            for (; j < text.size() && IsDigit(text[j]); ++j) {
                exponent += static_cast<char>(text[j]);
            }
            number += exponent;
        }
    }

    double value = 0.0;
    const char* first = number.data();
    const char* last = first + number.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too small to represent reads as zero, too large as no value.
        if (DecimalMagnitude(number) > 0) {
            return std::nullopt;
        }
        value = 0.0;
    } else if (ec != std::errc() || end != last || !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<int> TenthsEntry(std::u16string_view text)
{
    const std::optional<double> value = AtofEntry(text);
    if (!value) {
        return std::nullopt;
    }
    const double tenths = *value * 10.0 + 0.5;
    const double truncated = std::trunc(tenths);
    if (!std::isfinite(truncated) || truncated < static_cast<double>(INT_MIN) ||
        truncated > static_cast<double>(INT_MAX)) {
        return std::nullopt;
    }
    return static_cast<int>(truncated);
}
