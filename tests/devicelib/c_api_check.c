/* The public header as a C program sees it: it compiles as C, links, and
 * the calls that need no transmitter keep the header's promises. */
#include "Talvex.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                                                               \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            fprintf(stderr, "FAILED: %s\n", #condition);                                                               \
            ++failures;                                                                                                \
        }                                                                                                              \
    } while (0)

int main(void)
{
    char text[20] = "keep";
    int value = 7;
    TalvexCommTimeouts timeouts = {50, 0, 500, 0, 0};

    CHECK(IsOpen() == 0 && GetLastCommError() == TALVEX_OK && CloseComm() == 0);
    CHECK(GetTemperature(&value, 0) == 0 && value == 7);
    CHECK(GetLastCommError() == TALVEX_E_NOT_OPEN);
    CHECK(GetSerialNum(text, 14, 100) == 0 && strcmp(text, "keep") == 0);
    CHECK(OpenCommPath("/dev/talvex-no-such-port", 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, &timeouts) == 0);
    CHECK(GetLastCommError() == TALVEX_E_NO_REPLY && IsOpen() == 0);
    return failures == 0 ? 0 : 1;
}
