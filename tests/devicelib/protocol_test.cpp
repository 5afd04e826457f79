// Framing, reply judging and decoding, without a serial line.

#include "Protocol.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const talvex::Frame& frame) { return {frame.View().begin(), frame.View().end()}; }

int Judge(const std::string& reply, std::size_t expected)
{
    return talvex::JudgeReply(Bytes(reply.begin(), reply.end()), expected).code;
}

TEST(RequestFrame, ShapesAndParameterWidths)
{
    EXPECT_EQ(BytesOf(talvex::CommandFrame(0x17)), (Bytes{0x01, 0x01, 0x17}));
    EXPECT_EQ(BytesOf(talvex::ByteFrame(0x11, 100)), (Bytes{0x01, 0x02, 0x11, 0x64}));
    EXPECT_EQ(BytesOf(talvex::WordFrame(0x0E, 1080)), (Bytes{0x01, 0x03, 0x0E, 0x04, 0x38}));
    // Only the low 16 bits of a frequency and the low 8 bits of a setting.
    EXPECT_EQ(BytesOf(talvex::WordFrame(0x0E, 65536 + 870)), (Bytes{0x01, 0x03, 0x0E, 0x03, 0x66}));
    EXPECT_EQ(BytesOf(talvex::WordFrame(0x0E, -1)), (Bytes{0x01, 0x03, 0x0E, 0xFF, 0xFF}));
    EXPECT_EQ(BytesOf(talvex::ByteFrame(0x0F, 256)), (Bytes{0x01, 0x02, 0x0F, 0x00}));
    EXPECT_EQ(BytesOf(talvex::ByteFrame(0x10, -2)), (Bytes{0x01, 0x02, 0x10, 0xFE}));
    // Any non-zero flag switches on.
    EXPECT_EQ(talvex::commands::kLine.CodeFor(-7), 0x06);
    EXPECT_EQ(talvex::commands::kSoundChannel.CodeFor(0), 0x0D);
}

TEST(ReplyJudging, AcknowledgementsNeedExactlyTheExpectedData)
{
    EXPECT_EQ(Judge("OK", 0), talvex::kCodeOk);
    const talvex::Verdict full = talvex::JudgeReply(Bytes{'O', 'K', 0x03, 0xE8}, 2);
    EXPECT_EQ(full.code, talvex::kCodeOk);
    EXPECT_EQ(full.dataOffset, 2u);
    // The short form, with the leading "O" lost.
    EXPECT_EQ(Judge("K", 0), talvex::kCodeOk);
    const talvex::Verdict bare = talvex::JudgeReply(Bytes{'K', 0x2D}, 1);
    EXPECT_EQ(bare.code, talvex::kCodeOk);
    EXPECT_EQ(bare.dataOffset, 1u);
    // One byte short, one byte extra, "OK" where data is due.
    EXPECT_EQ(talvex::JudgeReply(Bytes{'O', 'K', 0x03}, 2).code, talvex::kCodeNoReply);
    EXPECT_EQ(talvex::JudgeReply(Bytes{'K', 0x03}, 2).code, talvex::kCodeNoReply);
    EXPECT_EQ(talvex::JudgeReply(Bytes{'O', 'K', 0x2D, 0x00}, 1).code, talvex::kCodeNoReply);
    EXPECT_EQ(Judge("OK", 1), talvex::kCodeNoReply);
}

TEST(ReplyJudging, RefusalWhateverTheLengthAndGarbage)
{
    EXPECT_EQ(Judge("ER", 0), talvex::kCodeRefused);
    EXPECT_EQ(Judge("ER", 7), talvex::kCodeRefused);
    EXPECT_EQ(Judge(std::string("ER\0", 3), 1), talvex::kCodeRefused);
    for (const char* garbage : {"", "E", "EX", "O", "ok", "RE", "xOK"})
        EXPECT_EQ(Judge(garbage, 0), talvex::kCodeNoReply) << '"' << garbage << '"';
}

TEST(ReplyDecoding, NumbersAndTexts)
{
    EXPECT_EQ(talvex::DecodeByte(std::array<std::uint8_t, 1>{0xFF}), 255);
    EXPECT_EQ(talvex::DecodeWord(std::array<std::uint8_t, 2>{0x03, 0x66}), 870);
    EXPECT_EQ(talvex::DecodeWord(std::array<std::uint8_t, 2>{0xFF, 0xFE}), 65534);

    std::array<char, talvex::kSerialTextSize> serial;
    serial.fill('#');
    talvex::FormatSerialNumber(std::array<std::uint8_t, 7>{0x12, 0xAB, 0x00, 0x05, 0xFF, 0x3C, 0x7E}, serial);
    EXPECT_STREQ(serial.data(), "12AB0005FF3C7E");

    std::array<char, 5> text;
    text.fill('#');
    talvex::CopyText(Bytes{'F', 'M', 0xC8}, text.data());
    EXPECT_EQ(std::string(text.data(), 4), std::string("FM\xC8", 3) + '\0');
    EXPECT_EQ(text[4], '#');  // nothing past the terminator
}

}  // namespace
