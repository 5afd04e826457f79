#pragma once
// Switches the calling thread, and only it, to the C locale for the guard's
// lifetime, so that printf writes a decimal point. One backend per platform:
// uselocale() on POSIX, a per-thread locale on Windows.

#include <memory>

class CThreadCLocale
{
public:
    CThreadCLocale();
    ~CThreadCLocale();
    CThreadCLocale(const CThreadCLocale&) = delete;
    CThreadCLocale& operator=(const CThreadCLocale&) = delete;

private:
    struct Saved;  // what the platform needs to switch back
    std::unique_ptr<Saved> m_saved;
};
