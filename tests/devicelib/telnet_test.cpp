// The Telnet side of network ports, free of sockets: escaping, decoding a
// stream cut anywhere, option answers, and the port names that choose the
// network backend.

#include "SerialPort.h"
#include "Telnet.h"

#include <gtest/gtest.h>

using namespace talvex::telnet;
using talvex::ParseNetAddress;

namespace {

// A server's stream: data with a literal 0xFF, option requests, a baud-rate
// answer whose value holds 0xFF (escaped), a NOP and more data.
const Bytes kStream = {'O',  'K',   kIac,        kIac, 0x03,                                     // data OK FF 03
                       kIac, kDo,   kOptBinary,                                                  // agrees with our WILL
                       kIac, kWill, 1,                                                           // WILL ECHO: refused
                       kIac, kSb,   kOptComPort, 101,  0x00, 0x00, kIac, kIac, 0x10, kIac, kSe,  // baud 0xFF10
                       kIac, 241,                                                                // NOP
                       kIac, kDo,   24,     // DO TERMINAL-TYPE: refused
                       0xE8, kIac,  kIac};  // data E8 FF

CDecoder::Output DecodeInChunks(const Bytes& stream, std::size_t chunk)
{
    CNegotiator negotiator;
    negotiator.Greeting();
    CDecoder decoder(negotiator);
    CDecoder::Output out;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        const std::size_t n = std::min(chunk, stream.size() - at);
        decoder.Feed({stream.data() + at, n}, out);
    }
    return out;
}

}  // namespace

TEST(Telnet, EscapingDoublesEveryFF)
{
    const struct {
        Bytes in, out;
    } cases[] = {
        {{}, {}},
        {{0x01, 0x02}, {0x01, 0x02}},
        {{0xFF}, {0xFF, 0xFF}},
        {{0x01, 0xFF, 0xFF, 0xFE}, {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}},
    };
    for (const auto& c : cases) {
        Bytes out;
        AppendEscaped(c.in, out);
        EXPECT_EQ(out, c.out);
    }
    EXPECT_EQ(SetBaudRate(57600), Bytes({kIac, kSb, kOptComPort, 1, 0x00, 0x00, 0xE1, 0x00, kIac, kSe}));
    EXPECT_EQ(SetBaudRate(0xFF), Bytes({kIac, kSb, kOptComPort, 1, 0, 0, 0, kIac, kIac, kIac, kSe}));
}

TEST(Telnet, DecodesTheSameWhereverTheStreamIsCut)
{
    const CDecoder::Output whole = DecodeInChunks(kStream, kStream.size());
    EXPECT_EQ(whole.data, Bytes({'O', 'K', 0xFF, 0x03, 0xE8, 0xFF}));
    EXPECT_EQ(whole.answers, Bytes({kIac, kDont, 1, kIac, kWont, 24}));
    ASSERT_EQ(whole.replies.size(), 1u);
    EXPECT_EQ(whole.replies[0].command, kSetBaudRate);
    EXPECT_EQ(whole.replies[0].value, Bytes({0x00, 0x00, 0xFF, 0x10}));

    for (std::size_t chunk = 1; chunk < kStream.size(); ++chunk) {
        const CDecoder::Output cut = DecodeInChunks(kStream, chunk);
        EXPECT_EQ(cut.data, whole.data) << "chunks of " << chunk;
        EXPECT_EQ(cut.answers, whole.answers) << "chunks of " << chunk;
        ASSERT_EQ(cut.replies.size(), 1u) << "chunks of " << chunk;
        EXPECT_EQ(cut.replies[0].value, whole.replies[0].value) << "chunks of " << chunk;
    }
}

TEST(Telnet, OptionsAreAnsweredOnlyWhenTheirStateChanges)
{
    CNegotiator n;
    EXPECT_EQ(n.Greeting(), Bytes({kIac, kWill, 0, kIac, kWill, 3, kIac, kWill, 44, kIac, kDo, 0, kIac, kDo, 3}));
    const struct {
        std::uint8_t verb, option;
        Bytes answer;
    } steps[] = {
        {kDo, kOptComPort, {}},        // the acknowledgement of our WILL
        {kWill, kOptBinary, {}},       // the acknowledgement of our DO
        {kDo, 1, {kIac, kWont, 1}},    // we do not echo
        {kDo, 1, {kIac, kWont, 1}},    // ... each time it is asked
        {kWill, 1, {kIac, kDont, 1}},  // nor want the server to
        {kWont, kOptBinary, {kIac, kDont, kOptBinary}},
        {kWont, kOptBinary, {}},
        {kDont, kOptComPort, {kIac, kWont, kOptComPort}},
    };
    EXPECT_FALSE(n.ComPortRefused());
    for (const auto& s : steps)
        EXPECT_EQ(n.Answer(s.verb, s.option), s.answer) << int(s.verb) << " " << int(s.option);
    EXPECT_TRUE(n.ComPortRefused());
}

TEST(Telnet, SubnegotiationsAreBoundedAndBrokenOnesDropped)
{
    CNegotiator negotiator;
    CDecoder decoder(negotiator);
    CDecoder::Output out;
    Bytes huge = {kIac, kSb, kOptComPort, 106};
    huge.insert(huge.end(), 10000, 0x41);
    huge.insert(huge.end(), {kIac, kSe, 'A'});
    decoder.Feed(huge, out);
    ASSERT_EQ(out.replies.size(), 1u);
    EXPECT_EQ(out.replies[0].value.size(), kMaxSubnegotiation - 1);
    EXPECT_EQ(out.data, Bytes({'A'}));

    // IAC then a command inside a subnegotiation ends it unread; the command
    // still counts, and data goes on.
    CDecoder::Output broken;
    decoder.Feed(Bytes{kIac, kSb, kOptComPort, 101, 1, kIac, kWill, 1, 'B'}, broken);
    EXPECT_TRUE(broken.replies.empty());
    EXPECT_EQ(broken.answers, Bytes({kIac, kDont, 1}));
    EXPECT_EQ(broken.data, Bytes({'B'}));
}

TEST(Telnet, LineSettingsMapToTheirComPortValues)
{
    EXPECT_EQ(ParityValue(TALVEX_PARITY_NONE), kParityNone);
    EXPECT_EQ(ParityValue(TALVEX_PARITY_SPACE), kParitySpace);
    EXPECT_FALSE(ParityValue(5));
    EXPECT_EQ(StopSizeValue(TALVEX_STOPBITS_ONE), kStopOne);
    EXPECT_EQ(StopSizeValue(TALVEX_STOPBITS_ONE_HALF), kStopOneHalf);
    EXPECT_EQ(StopSizeValue(TALVEX_STOPBITS_TWO), kStopTwo);
    EXPECT_FALSE(StopSizeValue(3));
}

TEST(PortNames, NetworkNamesAreParsedAndMalformedOnesKeptFromTheSerialBackend)
{
    const struct {
        const char* name;
        bool network;  // takes the network backend
        bool valid;
        bool telnet;
        const char* host;
        const char* port;
    } cases[] = {
        {"rfc2217://127.0.0.1:2000", true, true, true, "127.0.0.1", "2000"},
        {"socket://site-7.example:65535", true, true, false, "site-7.example", "65535"},
        {"rfc2217://[::1]:7000", true, true, true, "::1", "7000"},
        {"rfc2217://host", true, false, false, "", ""},
        {"rfc2217://host:0", true, false, false, "", ""},
        {"socket://host:65536", true, false, false, "", ""},
        {"socket://host:12a", true, false, false, "", ""},
        {"socket://:2000", true, false, false, "", ""},
        {"socket://::1:2000", true, false, false, "", ""},
        {"rfc2217://user@host:2000", true, false, false, "", ""},
        {"rfc2217://host:2000/path", true, false, false, "", ""},
        {"/dev/ttyUSB0", false, false, false, "", ""},
        {"RFC2217://host:1", false, false, false, "", ""},
        {"", false, false, false, "", ""},
    };
    for (const auto& c : cases) {
        bool malformed = true;
        const auto address = ParseNetAddress(c.name, &malformed);
        EXPECT_EQ(address.has_value() || malformed, c.network) << c.name;
        EXPECT_EQ(address.has_value(), c.valid) << c.name;
        if (address) {
            EXPECT_EQ(address->telnet, c.telnet) << c.name;
            EXPECT_EQ(address->host, c.host) << c.name;
            EXPECT_EQ(address->port, c.port) << c.name;
        }
    }
    EXPECT_FALSE(ParseNetAddress(nullptr));
}
