#pragma once
// The service's log: one line per event on standard error, which the
// journal keeps. Safe from every thread (one write per line).

#include <cstdio>
#include <string>

namespace talvexd {

inline void Log(const std::string& line)
{
    const std::string text = "talvexd: " + line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace talvexd
