#pragma once
// printf-style formatting that gives the C locale's text whatever locale the
// process runs in. Qt sets the process locale from the user's environment at
// start-up, and a decimal comma has no segment cell: "100,0" would show as
// "1000".

#include <cstdarg>
#include <string>

// vsnprintf under the C locale, for the calling thread only.
std::string FormatInCLocale(const char* format, va_list args);
