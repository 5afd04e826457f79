/* Starts a program the way cmd starts a windowed one on Windows: with no
 * standard output or error of its own, and this program's console as its
 * parent's. Returns its exit status.
 * Usage: start_without_std_handles PROGRAM [ARG...] */
#include <string.h>
#include <windows.h>

int main(void)
{
    /* The command line less this program's own name (quoted or not). */
    char* rest = GetCommandLineA();
    const char end = *rest == '"' ? '"' : ' ';
    for (rest += *rest == '"'; *rest && *rest != end; ++rest) {
    }
    for (rest += *rest == '"'; *rest == ' '; ++rest) {
    }
    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; /* and every handle null */
    PROCESS_INFORMATION process;
    DWORD code = 2;
    if (*rest && CreateProcessA(NULL, rest, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &code);
    }
    return (int)code;
}
