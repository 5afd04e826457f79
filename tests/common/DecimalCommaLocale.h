#pragma once
// A locale whose decimal mark is a comma (de_DE.UTF-8), for tests that prove
// numbers are read and written the same whatever locale the user has. When
// a Linux system has not got it, it is built once per test program into a
// scratch folder with localedef and found through LOCPATH, which the C
// library reads at every setlocale() and child processes inherit.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace testlocale {

#ifdef _WIN32
// Windows' C runtime has its locales built in, under names of its own.
inline constexpr const char* kDecimalComma = "German_Germany.1252";

inline bool Provide()
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const bool provided = std::setlocale(LC_NUMERIC, kDecimalComma) != nullptr;
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_TRUE(provided) << "the C runtime has no " << kDecimalComma << " locale";
    return provided;
}
#else
inline constexpr const char* kDecimalComma = "de_DE.UTF-8";

// Makes kDecimalComma available to setlocale() in this process and its
// children; false (with a test failure) when it cannot be had.
inline bool Provide()
{
    static const bool provided = [] {
        const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        if (std::setlocale(LC_NUMERIC, kDecimalComma) != nullptr) {
            std::setlocale(LC_NUMERIC, saved.c_str());
            return true;
        }
        char folder[] = "/tmp/talvex-locale-XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            return false;
        }
        const std::string command =
            std::string("localedef -i de_DE -f UTF-8 ") + folder + "/" + kDecimalComma + " >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            return false;
        }
        ::setenv("LOCPATH", folder, 1);
        const bool ok = std::setlocale(LC_NUMERIC, kDecimalComma) != nullptr;
        std::setlocale(LC_NUMERIC, saved.c_str());
        return ok;
    }();
    EXPECT_TRUE(provided) << "no decimal-comma locale: install the locales package";
    return provided;
}
#endif

// Switches LC_NUMERIC to the decimal-comma locale for its lifetime.
class Scoped
{
public:
    Scoped() : m_saved(std::setlocale(LC_NUMERIC, nullptr))
    {
        m_active = Provide() && std::setlocale(LC_NUMERIC, kDecimalComma) != nullptr;
        if (m_active) {
            EXPECT_EQ(*std::localeconv()->decimal_point, ',');
        }
    }
    ~Scoped() { std::setlocale(LC_NUMERIC, m_saved.c_str()); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    bool Active() const { return m_active; }

private:
    std::string m_saved;
    bool m_active = false;
};

}  // namespace testlocale
