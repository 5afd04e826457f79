#include "CLocaleFormat.h"
#include "ThreadCLocale.h"

#include <cstdio>

std::string FormatInCLocale(const char* format, va_list args)
{
    const CThreadCLocale cLocale;
    char small[64];
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return {};
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        va_end(again);
        return std::string(small, static_cast<std::size_t>(length));
    }
    // Longer than a reading ever is, but never cut off.
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    text.resize(static_cast<std::size_t>(length));
    return text;
}
