#pragma once
// Faults the simulated transmitter can be told to commit on purpose.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

enum class SimFaultKind {
    Refuse,      // answer "ER" and leave the state alone
    Silent,      // send nothing at all
    ShortAck,    // "K" instead of "OK", then the data bytes
    DropData,    // leave off the last `bytes` bytes of the answer
    ExtraBytes,  // append `bytes` bytes after the answer
    Garbage,     // answer with bytes that are neither "OK", "K" nor "ER"
    Delay,       // send the answer `delay` late
    HangUp,      // drop the line instead of answering; back after `downFor`
};

// Matches every command code.
inline constexpr int kSimAllCommands = -1;

struct SimFault {
    SimFaultKind kind = SimFaultKind::Refuse;
    int code = kSimAllCommands;              // command code it applies to
    bool persistent = false;                 // false: used up by its first hit
    int bytes = 1;                           // DropData, ExtraBytes
    std::chrono::milliseconds delay{0};      // Delay
    std::chrono::milliseconds downFor{300};  // HangUp; negative: until ComeBack()
};

// Reads a fault from the talvex-sim command line:
//   KIND[=N][@CODE][,once]
// KIND is refuse, silent, short, drop, extra, garbage, delay or hangup; N is
// the byte count (drop, extra) or milliseconds (delay, hangup); CODE is a
// command code in hex ("0e", "0x0E"), all commands when left out. Command-line
// faults are persistent unless ",once" is given. On error returns nothing and
// describes the problem in `error`.
std::optional<SimFault> ParseSimFault(std::string_view text, std::string* error = nullptr);
// Name of a fault kind as ParseSimFault spells it.
std::string_view SimFaultKindName(SimFaultKind kind);
