#include "SimState.h"

std::uint8_t SimState::StateByte() const
{
    std::uint8_t b = 0;
    if (standby)
        b |= 0x01;
    if (mono)
        b |= 0x04;
    if (echoOff)
        b |= 0x10;
    if (lineOn)
        b |= 0x20;
    if (micOff)
        b |= 0x40;
    return b;
}
