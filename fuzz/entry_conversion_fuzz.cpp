// The protection dialog's entry conversions against the C library's own
// strtol and strtod in the C locale. Input: one mode byte (even: the rest is
// Latin-1 text, odd: the rest is UTF-16 code units, low byte first), then
// the text.

#include "FuzzCheck.h"
#include "dialogs/EntryConversion.h"

#include <QString>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// The dialog's accepted ranges: whole degrees, and the ratio in tenths.
constexpr int kTemperatureMin = 50;
constexpr int kTemperatureMax = 70;
constexpr int kTenthsMin = 20;
constexpr int kTenthsMax = 40;

QString EntryText(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return {};
    }
    if ((data[0] & 1) == 0) {
        return QString::fromLatin1(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    }
    QString text;
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        text.append(QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8))));
    }
    return text;
}

// The text as the C functions would see it: ASCII stays, anything else is a
// character that is neither blank, sign, digit, point nor letter, and the
// C string ends at the first zero.
std::string CText(const QString& text)
{
    std::string c;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == 0) {
            break;
        }
        c += u < 0x80 ? static_cast<char>(u) : '\x7F';
    }
    return c;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::optional<int> ReferenceAtoi(const std::string& text)
{
    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

struct AtofReference {
    std::optional<double> value;
    bool underflow = false;  // strtod reported a result too small to hold exactly
};

AtofReference ReferenceAtof(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::string rest = text.substr(i);
    auto startsNoCase = [&rest](const char* word) {
        const std::size_t n = std::char_traits<char>::length(word);
        if (rest.size() < n) {
            return false;
        }
        for (std::size_t k = 0; k < n; ++k) {
            const char ch = rest[k];
            if ((ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch) != word[k]) {
                return false;
            }
        }
        return true;
    };
    // Infinities and NaNs have no place in a protection point.
    if (startsNoCase("inf") || startsNoCase("nan")) {
        return {std::nullopt, false};
    }
    // The entries are decimal: a hexadecimal prefix reads as its leading 0.
    if (startsNoCase("0x")) {
        return {0.0, false};
    }
    errno = 0;
    const double value = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE) {
        if (std::isinf(value)) {
            return {std::nullopt, false};
        }
        return {value, true};
    }
    return {value, false};
}

std::optional<int> ReferenceTenths(std::optional<double> value)
{
    if (!value) {
        return std::nullopt;
    }
    const double tenths = std::trunc(*value * 10.0 + 0.5);
    if (!std::isfinite(tenths) || tenths < INT_MIN || tenths > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(tenths);
}

bool InRange(std::optional<int> value, int low, int high) { return value && *value >= low && *value <= high; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 256) {
        return -1;  // an edit field's worth is plenty
    }
    const QString entry = EntryText(data, size);
    const std::string c = CText(entry);
    const std::u16string_view text(QStringView(entry).utf16(), static_cast<std::size_t>(entry.size()));

    const std::optional<int> atoi = AtoiEntry(text);
    const std::optional<int> atoiExpected = ReferenceAtoi(c);
    FUZZ_CHECK(atoi.has_value() == atoiExpected.has_value());
    FUZZ_CHECK(!atoi || *atoi == *atoiExpected);
    FUZZ_CHECK(InRange(atoi, kTemperatureMin, kTemperatureMax) ==
               InRange(atoiExpected, kTemperatureMin, kTemperatureMax));

    const std::optional<double> atof = AtofEntry(text);
    const AtofReference atofExpected = ReferenceAtof(c);
    FUZZ_CHECK(atof.has_value() == atofExpected.value.has_value());
    if (atof) {
        FUZZ_CHECK(std::isfinite(*atof));
        // Both read the decimal number correctly rounded; a result below the
        // smallest normal double may also read as zero.
        FUZZ_CHECK(*atof == *atofExpected.value || (atofExpected.underflow && *atof == 0.0));
    }

    const std::optional<int> tenths = TenthsEntry(text);
    const std::optional<int> tenthsExpected = ReferenceTenths(atofExpected.value);
    FUZZ_CHECK(tenths.has_value() == tenthsExpected.has_value());
    FUZZ_CHECK(!tenths || *tenths == *tenthsExpected);
    FUZZ_CHECK(InRange(tenths, kTenthsMin, kTenthsMax) == InRange(tenthsExpected, kTenthsMin, kTenthsMax));
    return 0;
}
