#pragma once
// The transmitter's byte protocol, free of any I/O: building request frames,
// judging what came back, and decoding reply data into the callers' outputs.
// Everything here is a plain function of its arguments so that it can be
// exercised without a serial line.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace talvex {

// Failure codes, as GetLastCommError() reports them.
enum CommCode : int {
    kCodeOk = 0,
    kCodeRefused = 1,  // the transmitter answered "ER"
    kCodeNotOpen = 2,
    kCodeWriteTimeout = 3,
    kCodeReadTimeout = 4,
    kCodeWriteFailed = 5,
    kCodeReadFailed = 6,
    kCodeNoReply = -1  // also the state right after an open
};

inline constexpr std::uint8_t kLeadByte = 0x01;
// Largest number of data bytes a reply may carry: the whole reply ("OK" and
// data) has to fit the 500-byte reply buffer.
inline constexpr std::size_t kMaxReplyData = 498;
inline constexpr std::size_t kReplyBufferSize = kMaxReplyData + 2;

// One request frame: lead byte, count of the bytes after it, command code,
// then zero to two parameter bytes. `size` is 3, 4 or 5.
struct Frame {
    std::array<std::uint8_t, 5> bytes{};
    std::size_t size = 0;

    std::span<const std::uint8_t> View() const { return {bytes.data(), size}; }
};

Frame CommandFrame(std::uint8_t code);
// The parameter is the low 8 bits of `value`.
Frame ByteFrame(std::uint8_t code, int value);
// The parameter is the low 16 bits of `value`, high byte first.
Frame WordFrame(std::uint8_t code, int value);

// A command and the number of data bytes its acknowledgement carries.
struct Command {
    std::uint8_t code;
    std::size_t replyBytes;
};

// An on/off command: which code goes out depends on the caller's flag.
struct Switch {
    std::uint8_t onCode;
    std::uint8_t offCode;

    // Any non-zero flag means "on".
    constexpr std::uint8_t CodeFor(int on) const { return on != 0 ? onCode : offCode; }
};

namespace commands {
inline constexpr Command kShutDown{0x02, 0};
inline constexpr Command kStartUp{0x03, 0};
inline constexpr Switch kLine{0x06, 0x04};
inline constexpr Switch kMic{0x07, 0x05};
inline constexpr Switch kEcho{0x09, 0x08};
inline constexpr Switch kBackLight{0x0A, 0x0B};
inline constexpr Switch kSoundChannel{0x0C, 0x0D};  // on = stereo, off = mono
inline constexpr Command kSetFMFreq{0x0E, 0};
inline constexpr Command kSetLineVol{0x0F, 0};
inline constexpr Command kSetMicVol{0x10, 0};
inline constexpr Command kSetLaunchPower{0x11, 0};
inline constexpr Command kSetSwrPoint{0x12, 0};
inline constexpr Command kSetTempPoint{0x13, 0};
inline constexpr Command kGetFwdPower{0x14, 1};
inline constexpr Command kGetRvrPower{0x15, 1};
inline constexpr Command kGetSwr{0x16, 1};
inline constexpr Command kGetTemperature{0x17, 1};
inline constexpr Command kGetDevState{0x18, 1};
inline constexpr Command kGetSerialNum{0x19, 7};
inline constexpr Command kGetVersionNum{0x1A, 2};
inline constexpr Command kGetDevType{0x1B, 3};
inline constexpr Command kGetFMFreq{0x1C, 2};
inline constexpr Command kGetLineVol{0x1D, 1};
inline constexpr Command kGetMicVol{0x1E, 1};
inline constexpr Command kGetLaunchPower{0x1F, 1};
inline constexpr Command kGetTempPoint{0x20, 1};
inline constexpr Command kGetSwrPoint{0x21, 1};
inline constexpr Command kGetRtVol{0x22, 2};
}  // namespace commands

// The outcome of one reply: a failure code, and where the data bytes start
// in the reply when the code is kCodeOk.
struct Verdict {
    int code = kCodeNoReply;
    std::size_t dataOffset = 0;

    bool Accepted() const { return code == kCodeOk; }
};

// Judges the bytes actually read for a command expecting `expected` data
// bytes: "OK" + data (exact length), "K" + data (exact length), "ER" followed
// by anything, or else no valid reply.
Verdict JudgeReply(std::span<const std::uint8_t> reply, std::size_t expected);

// One data byte, zero-extended.
int DecodeByte(std::span<const std::uint8_t, 1> data);
// Two data bytes, high byte first.
int DecodeWord(std::span<const std::uint8_t, 2> data);

inline constexpr std::size_t kSerialBytes = 7;
// Two upper-case hex digits per byte and a terminating zero.
inline constexpr std::size_t kSerialTextSize = kSerialBytes * 2 + 1;
inline constexpr std::size_t kVersionTextSize = 3;
inline constexpr std::size_t kDevTypeTextSize = 4;

// Writes the 14 hex digits of the serial number and a terminating zero.
void FormatSerialNumber(std::span<const std::uint8_t, kSerialBytes> data, std::span<char, kSerialTextSize> text);
// Copies the data bytes unchanged and terminates them; `text` holds one more
// character than `data`.
void CopyText(std::span<const std::uint8_t> data, char* text);

}  // namespace talvex
