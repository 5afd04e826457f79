#include "ThreadCLocale.h"

#include <locale.h>

namespace {

// The C locale as an object, made once: uselocale() switches one thread to
// it, so nothing else in the process sees the change.
locale_t CLocale()
{
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

struct CThreadCLocale::Saved {
    locale_t previous = nullptr;
};

CThreadCLocale::CThreadCLocale() : m_saved(std::make_unique<Saved>())
{
    if (CLocale() != nullptr) {
        m_saved->previous = ::uselocale(CLocale());
    }
}

CThreadCLocale::~CThreadCLocale()
{
    if (m_saved->previous != nullptr) {
        ::uselocale(m_saved->previous);
    }
}
