#include "SimState.h"

std::uint8_t SimState::StateByte() const
{
    std::uint8_t b = 0;
    if (standby)
        b |= TALVEX_STATE_STANDBY;
    if (mono)
        b |= TALVEX_STATE_MONO;
    if (echoOff)
        b |= TALVEX_STATE_ECHO_OFF;
    if (lineOn)
        b |= TALVEX_STATE_LINE_ON;
    if (micOff)
        b |= TALVEX_STATE_MIC_OFF;
    return b;
}
