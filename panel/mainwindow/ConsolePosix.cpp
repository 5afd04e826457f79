// A program started from a terminal writes to it through standard output
// and error; there is nothing to attach.

#include "Console.h"

#include <cstdio>

namespace console {

void AttachParent() {}
void ReleaseParent() {}

void Out(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

void Error(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

}  // namespace console
