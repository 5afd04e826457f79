#include "Telnet.h"

namespace talvex::telnet {

void AppendEscaped(std::span<const std::uint8_t> data, Bytes& out)
{
    for (const std::uint8_t b : data) {
        out.push_back(b);
        if (b == kIac)
            out.push_back(kIac);
    }
}

Bytes ComPortRequest(std::uint8_t command, std::span<const std::uint8_t> value)
{
    Bytes out{kIac, kSb, kOptComPort, command};
    AppendEscaped(value, out);
    out.push_back(kIac);
    out.push_back(kSe);
    return out;
}

Bytes SetBaudRate(std::uint32_t baud)
{
    const std::uint8_t value[4] = {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                                   static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
    return ComPortRequest(kSetBaudRate, value);
}

bool CNegotiator::WantLocal(std::uint8_t option)
{
    return option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
}

bool CNegotiator::WantRemote(std::uint8_t option) { return option == kOptBinary || option == kOptSuppressGoAhead; }

Bytes CNegotiator::Greeting()
{
    Bytes out;
    for (const std::uint8_t option : {kOptBinary, kOptSuppressGoAhead, kOptComPort}) {
        out.insert(out.end(), {kIac, kWill, option});
        m_local[option] = true;
    }
    for (const std::uint8_t option : {kOptBinary, kOptSuppressGoAhead}) {
        out.insert(out.end(), {kIac, kDo, option});
        m_remote[option] = true;
    }
    return out;
}

Bytes CNegotiator::Answer(std::uint8_t verb, std::uint8_t option)
{
    // m_local/m_remote hold what we last agreed to. A request for a state we
    // are already in is an acknowledgement and gets no answer; one we refuse
    // is refused each time it comes (a refusal is no request, so the server
    // does not answer it in turn).
    switch (verb) {
    case kDo:
        if (!WantLocal(option))
            return {kIac, kWont, option};
        if (m_local[option])
            return {};
        m_local[option] = true;
        return {kIac, kWill, option};
    case kDont:
        if (option == kOptComPort)
            m_comPortRefused = true;
        if (!m_local[option])
            return {};
        m_local[option] = false;
        return {kIac, kWont, option};
    case kWill:
        if (!WantRemote(option))
            return {kIac, kDont, option};
        if (m_remote[option])
            return {};
        m_remote[option] = true;
        return {kIac, kDo, option};
    case kWont:
        if (!m_remote[option])
            return {};
        m_remote[option] = false;
        return {kIac, kDont, option};
    default: return {};
    }
}

void CDecoder::Feed(std::span<const std::uint8_t> input, Output& out)
{
    for (const std::uint8_t b : input) {
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Iac;
            else
                out.data.push_back(b);
            break;
        case State::Iac:
            if (b == kIac) {
                out.data.push_back(kIac);
                m_state = State::Data;
            } else if (b >= kWill && b <= kDont) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == kSb) {
                m_state = State::Sb;
            } else {
                // NOP, GA, BREAK, a stray SE...: nothing for a client to do.
                m_state = State::Data;
            }
            break;
        case State::Verb: {
            const Bytes answer = m_negotiator.Answer(m_verb, b);
            out.answers.insert(out.answers.end(), answer.begin(), answer.end());
            m_state = State::Data;
            break;
        }
        case State::Sb:
            m_sbOption = b;
            m_sb.clear();
            m_state = b == kIac ? State::SbIac : State::SbData;
            break;
        case State::SbData:
            if (b == kIac)
                m_state = State::SbIac;
            else if (m_sb.size() < kMaxSubnegotiation)
                m_sb.push_back(b);
            break;
        case State::SbIac:
            if (b == kSe) {
                EndSubnegotiation(out);
                m_state = State::Data;
            } else if (b == kIac) {
                if (m_sb.size() < kMaxSubnegotiation)
                    m_sb.push_back(kIac);
                m_state = State::SbData;
            } else {
                // IAC followed by anything else inside a subnegotiation is a
                // broken one: drop it and read the byte as a command.
                m_sb.clear();
                m_state = State::Iac;
                Feed(std::span<const std::uint8_t>(&b, 1), out);
            }
            break;
        }
    }
}

void CDecoder::EndSubnegotiation(Output& out)
{
    if (m_sbOption != kOptComPort || m_sb.empty() || m_sb[0] <= kServerOffset)
        return;
    ComPortReply reply;
    reply.command = static_cast<std::uint8_t>(m_sb[0] - kServerOffset);
    reply.value.assign(m_sb.begin() + 1, m_sb.end());
    out.replies.push_back(std::move(reply));
    m_sb.clear();
}

std::optional<std::uint8_t> ParityValue(int talvexParity)
{
    // The public header's codes run none, odd, even, mark, space from 0.
    if (talvexParity < 0 || talvexParity > 4)
        return std::nullopt;
    return static_cast<std::uint8_t>(kParityNone + talvexParity);
}

std::optional<std::uint8_t> StopSizeValue(int talvexStopBits)
{
    switch (talvexStopBits) {
    case 0: return kStopOne;
    case 1: return kStopOneHalf;
    case 2: return kStopTwo;
    default: return std::nullopt;
    }
}

}  // namespace talvex::telnet
