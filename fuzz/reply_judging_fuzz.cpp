// Reply judging: the whole input is the bytes read from the line. Each is
// judged against every expected data length the command set uses (0 to 7)
// and the largest one the reply buffer allows, and the verdict is checked
// against the three reply forms the transmitter may send.

#include "FuzzCheck.h"
#include "Protocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>

namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, const char* prefix)
{
    const std::size_t length = std::strlen(prefix);
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

// The decoders the exports apply to an accepted reply's data.
void CheckDecoding(std::span<const std::uint8_t> data)
{
    if (data.size() == 1) {
        FUZZ_CHECK(talvex::DecodeByte(data.first<1>()) == data[0]);
    }
    if (data.size() == 2) {
        FUZZ_CHECK(talvex::DecodeWord(data.first<2>()) == ((data[0] << 8) | data[1]));
    }
    if (data.size() == talvex::kSerialBytes) {
        std::array<char, talvex::kSerialTextSize> text{};
        text.fill('#');
        talvex::FormatSerialNumber(data.first<talvex::kSerialBytes>(), text);
        char expected[talvex::kSerialTextSize + 1] = {};
        for (std::size_t i = 0; i < data.size(); ++i) {
            std::snprintf(expected + 2 * i, 3, "%02X", data[i]);
        }
        FUZZ_CHECK(std::memcmp(text.data(), expected, talvex::kSerialTextSize) == 0);
    }
    // Version and device type are copied as text; the copy must stop exactly
    // after the data and never write past the terminator.
    std::array<char, talvex::kMaxReplyData + 2> text{};
    text.fill('#');
    talvex::CopyText(data, text.data());
    FUZZ_CHECK(std::memcmp(text.data(), data.data(), data.size()) == 0);
    FUZZ_CHECK(text[data.size()] == '\0');
    FUZZ_CHECK(text[data.size() + 1] == '#');
}

void CheckJudging(std::span<const std::uint8_t> reply, std::size_t expected)
{
    const talvex::Verdict verdict = talvex::JudgeReply(reply, expected);
    FUZZ_CHECK(verdict.code == talvex::kCodeOk || verdict.code == talvex::kCodeRefused ||
               verdict.code == talvex::kCodeNoReply);
    FUZZ_CHECK(verdict.Accepted() == (verdict.code == talvex::kCodeOk));

    const bool fullForm = reply.size() == expected + 2 && StartsWith(reply, "OK");
    const bool shortForm = reply.size() == expected + 1 && StartsWith(reply, "K");
    const bool refusal = StartsWith(reply, "ER");
    FUZZ_CHECK(verdict.Accepted() == (fullForm || shortForm));
    FUZZ_CHECK((verdict.code == talvex::kCodeRefused) == refusal);

    if (verdict.Accepted()) {
        const std::size_t prefix = fullForm ? 2 : 1;
        FUZZ_CHECK(verdict.dataOffset == prefix);
        FUZZ_CHECK(verdict.dataOffset + expected == reply.size());
        const std::span<const std::uint8_t> data = reply.subspan(verdict.dataOffset, expected);
        FUZZ_CHECK(std::memcmp(data.data(), reply.data() + prefix, expected) == 0);
        CheckDecoding(data);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reply buffer never holds more than this; the link reads at most
    // n + 2 bytes.
    if (size > talvex::kReplyBufferSize) {
        return -1;
    }
    const std::span<const std::uint8_t> reply(data, size);
    for (std::size_t expected = 0; expected <= 7; ++expected) {
        CheckJudging(reply, expected);
    }
    CheckJudging(reply, talvex::kMaxReplyData);
    return 0;
}
