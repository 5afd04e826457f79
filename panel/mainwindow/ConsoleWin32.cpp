// A windowed program started from cmd has no standard output of its own,
// but it may use cmd's console. Output redirected to a file or a pipe stays
// where it was sent. The console is written through its own handle rather
// than through the C runtime's stdout, which was bound to "no console" when
// the program started and cannot be bound again everywhere.

#include "Console.h"

#include <cstdio>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace console {

namespace {

HANDLE g_console = INVALID_HANDLE_VALUE;  // the parent's console, while attached
bool g_outToConsole = false;
bool g_errorToConsole = false;

// A handle the parent gave: output redirected to a file or a pipe, or a
// console the program already has.
bool HasHandle(DWORD which)
{
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

void Write(bool toConsole, FILE* stream, const QString& text)
{
    if (toConsole && g_console != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ::WriteConsoleW(g_console, reinterpret_cast<const wchar_t*>(text.utf16()), static_cast<DWORD>(text.size()),
                        &written, nullptr);
        return;
    }
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

}  // namespace

void AttachParent()
{
    g_outToConsole = !HasHandle(STD_OUTPUT_HANDLE);
    g_errorToConsole = !HasHandle(STD_ERROR_HANDLE);
    if (!g_outToConsole && !g_errorToConsole) {
        return;
    }
    // Access denied: the program is attached to a console already.
    if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::GetLastError() != ERROR_ACCESS_DENIED) {
        g_outToConsole = g_errorToConsole = false;
        return;
    }
    g_console = ::CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (g_console == INVALID_HANDLE_VALUE) {
        ::FreeConsole();
        g_outToConsole = g_errorToConsole = false;
    }
}

void ReleaseParent()
{
    if (g_console == INVALID_HANDLE_VALUE) {
        return;
    }
    ::CloseHandle(g_console);
    g_console = INVALID_HANDLE_VALUE;
    g_outToConsole = g_errorToConsole = false;
    ::FreeConsole();
}

void Out(const QString& text) { Write(g_outToConsole, stdout, text); }
void Error(const QString& text) { Write(g_errorToConsole, stderr, text); }

}  // namespace console
