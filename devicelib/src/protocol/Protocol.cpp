#include "Protocol.h"

#include <algorithm>

namespace talvex {

namespace {

constexpr std::uint8_t kLetterO = 0x4F;
constexpr std::uint8_t kLetterK = 0x4B;
constexpr std::uint8_t kLetterE = 0x45;
constexpr std::uint8_t kLetterR = 0x52;

std::uint8_t LowByte(unsigned value) { return static_cast<std::uint8_t>(value & 0xFFu); }

}  // namespace

Frame CommandFrame(std::uint8_t code)
{
    Frame frame;
    frame.bytes = {kLeadByte, 1, code, 0, 0};
    frame.size = 3;
    return frame;
}

Frame ByteFrame(std::uint8_t code, int value)
{
    Frame frame;
    frame.bytes = {kLeadByte, 2, code, LowByte(static_cast<unsigned>(value)), 0};
    frame.size = 4;
    return frame;
}

Frame WordFrame(std::uint8_t code, int value)
{
    const auto bits = static_cast<unsigned>(value);
    Frame frame;
    frame.bytes = {kLeadByte, 3, code, LowByte(bits >> 8), LowByte(bits)};
    frame.size = 5;
    return frame;
}

Verdict JudgeReply(std::span<const std::uint8_t> reply, std::size_t expected)
{
    const std::size_t read = reply.size();
    if (read == expected + 2 && reply[0] == kLetterO && reply[1] == kLetterK)
        return {kCodeOk, 2};
    // A reply whose leading "O" was lost on the line still acknowledges.
    if (read == expected + 1 && reply[0] == kLetterK)
        return {kCodeOk, 1};
    if (read >= 2 && reply[0] == kLetterE && reply[1] == kLetterR)
        return {kCodeRefused, 0};
    return {kCodeNoReply, 0};
}

int DecodeByte(std::span<const std::uint8_t, 1> data) { return data[0]; }

int DecodeWord(std::span<const std::uint8_t, 2> data) { return data[0] * 256 + data[1]; }

void FormatSerialNumber(std::span<const std::uint8_t, kSerialBytes> data, std::span<char, kSerialTextSize> text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::size_t at = 0;
    for (const std::uint8_t byte : data) {
        text[at++] = kDigits[byte >> 4];
        text[at++] = kDigits[byte & 0x0F];
    }
    text[at] = '\0';
}

void CopyText(std::span<const std::uint8_t> data, char* text)
{
    std::transform(data.begin(), data.end(), text, [](std::uint8_t byte) { return static_cast<char>(byte); });
    text[data.size()] = '\0';
}

}  // namespace talvex
