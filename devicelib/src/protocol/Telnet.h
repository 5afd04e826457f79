#pragma once
// Telnet with the COM-PORT-OPTION of RFC 2217, as a client of a terminal
// server (ser2net) needs it, free of any I/O: escaping what goes out,
// splitting what comes in into line data and Telnet commands, answering
// option negotiation, and the port-setting subnegotiations. The decoder
// accepts its input cut at any byte, so a command that straddles two
// socket reads is read whole.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace talvex::telnet {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;

inline constexpr std::uint8_t kOptBinary = 0;
inline constexpr std::uint8_t kOptSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptComPort = 44;

// COM-PORT-OPTION commands, client to server; the server's answer to each
// carries the same code plus kServerOffset.
enum ComPortCommand : std::uint8_t {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kPurgeData = 12,
};
inline constexpr std::uint8_t kServerOffset = 100;
// PURGE-DATA argument: both the access server's receive and transmit buffers.
inline constexpr std::uint8_t kPurgeBoth = 3;
// SET-PARITY and SET-STOPSIZE values (0 asks the server for its current one).
enum : std::uint8_t { kParityNone = 1, kParityOdd = 2, kParityEven = 3, kParityMark = 4, kParitySpace = 5 };
enum : std::uint8_t { kStopOne = 1, kStopTwo = 2, kStopOneHalf = 3 };

// A subnegotiation's payload longer than this is cut to it; nothing this
// client reads is longer, and a hostile peer cannot make it grow.
inline constexpr std::size_t kMaxSubnegotiation = 64;

// Appends `data` to `out` with every 0xFF doubled.
void AppendEscaped(std::span<const std::uint8_t> data, Bytes& out);

// IAC SB COM-PORT-OPTION <command> <value...> IAC SE, the value escaped.
Bytes ComPortRequest(std::uint8_t command, std::span<const std::uint8_t> value);
Bytes SetBaudRate(std::uint32_t baud);

// A COM-PORT-OPTION answer from the server: the command it answers (already
// without the server offset) and its value.
struct ComPortReply {
    std::uint8_t command = 0;
    Bytes value;
};

// The client's side of the option negotiation: which options it wants on
// which side, and the one answer each request from the server needs. An
// option we already agreed to is not acknowledged again, so two peers never
// loop.
class CNegotiator
{
public:
    // The requests that open a connection: binary both ways, no go-ahead, and
    // the com-port option on our side.
    Bytes Greeting();
    // Our answer to "IAC <verb> <option>" from the server; empty when none
    // is due.
    Bytes Answer(std::uint8_t verb, std::uint8_t option);

    // The server refused the com-port option (DONT COM-PORT-OPTION).
    bool ComPortRefused() const { return m_comPortRefused; }

private:
    static bool WantLocal(std::uint8_t option);   // options we will do
    static bool WantRemote(std::uint8_t option);  // options we want the server to do

    bool m_local[256] = {};
    bool m_remote[256] = {};
    bool m_comPortRefused = false;
};

// Splits a received stream into line data and commands.
class CDecoder
{
public:
    struct Output {
        Bytes data;                         // line bytes, unescaped
        Bytes answers;                      // negotiation answers to send back
        std::vector<ComPortReply> replies;  // COM-PORT-OPTION answers
    };

    explicit CDecoder(CNegotiator& negotiator) : m_negotiator(negotiator) {}

    // Decodes `input`, appending to `out`. Keeps any command cut short for
    // the next call.
    void Feed(std::span<const std::uint8_t> input, Output& out);
    // Forgets a command cut short, for a new connection.
    void Reset()
    {
        m_state = State::Data;
        m_sb.clear();
    }

private:
    enum class State { Data, Iac, Verb, Sb, SbData, SbIac };

    void EndSubnegotiation(Output& out);

    CNegotiator& m_negotiator;
    State m_state = State::Data;
    std::uint8_t m_verb = 0;
    std::uint8_t m_sbOption = 0;
    Bytes m_sb;
};

// The COM-PORT-OPTION value the server must confirm for each setting;
// nullopt when the setting has no RFC 2217 encoding.
std::optional<std::uint8_t> ParityValue(int talvexParity);
std::optional<std::uint8_t> StopSizeValue(int talvexStopBits);

}  // namespace talvex::telnet
