#pragma once
// What a well-formed request on the serial line looks like: lead byte 0x01,
// the count of the bytes after it, a command code of the transmitter's
// command set, and exactly the parameter bytes that code takes. Settings
// must also carry a value the panel allows for them.

#include <cstdint>
#include <string>
#include <vector>

namespace soak {

using FrameBytes = std::vector<std::uint8_t>;

// Empty when `frame` is a valid request, else why it is not.
std::string CheckRequestFrame(const FrameBytes& frame);

// The command's export name ("SetFMFreq"), or "code 0xNN" for unknown codes.
std::string CommandName(int code);

}  // namespace soak
