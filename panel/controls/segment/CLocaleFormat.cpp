#include "CLocaleFormat.h"

#include <cstdio>
#include <locale.h>

namespace {

// The C locale as an object: uselocale() switches one thread to it, so
// nothing else in the process sees the change.
locale_t CLocale()
{
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

class CThreadLocaleC
{
public:
    CThreadLocaleC() : m_previous(CLocale() != nullptr ? ::uselocale(CLocale()) : nullptr) {}
    ~CThreadLocaleC()
    {
        if (m_previous != nullptr) {
            ::uselocale(m_previous);
        }
    }
    CThreadLocaleC(const CThreadLocaleC&) = delete;
    CThreadLocaleC& operator=(const CThreadLocaleC&) = delete;

private:
    locale_t m_previous = nullptr;
};

}  // namespace

std::string FormatInCLocale(const char* format, va_list args)
{
    const CThreadLocaleC cLocale;
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
