#include "ThreadCLocale.h"

#include <clocale>
#include <locale.h>
#include <string>

// The C runtime's locale is process-wide unless the thread asks for its own:
// with a per-thread locale, setlocale() changes this thread alone, and it
// is dropped again when the thread goes back to the shared one.
struct CThreadCLocale::Saved {
    int previousMode = -1;
    std::string previousNumeric;
};

CThreadCLocale::CThreadCLocale() : m_saved(std::make_unique<Saved>())
{
    m_saved->previousMode = ::_configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) {
        m_saved->previousNumeric = current;
    }
    std::setlocale(LC_NUMERIC, "C");
}

CThreadCLocale::~CThreadCLocale()
{
    if (!m_saved->previousNumeric.empty()) {
        std::setlocale(LC_NUMERIC, m_saved->previousNumeric.c_str());
    }
    if (m_saved->previousMode != -1) {
        ::_configthreadlocale(m_saved->previousMode);
    }
}
