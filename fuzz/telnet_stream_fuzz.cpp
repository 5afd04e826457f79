// The receive path of rfc2217:// ports: the input is what a network peer
// sends. The first byte picks where the stream is cut into two reads; the
// decode must not depend on the cut, every answer must be one well-formed
// option reply, every com-port reply stays within its bound, and data
// escaped by our own encoder must come back unchanged.

#include "FuzzCheck.h"
#include "Telnet.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace talvex::telnet;

namespace {

CDecoder::Output Decode(std::span<const std::uint8_t> stream, std::size_t cut)
{
    CNegotiator negotiator;
    negotiator.Greeting();
    CDecoder decoder(negotiator);
    CDecoder::Output out;
    decoder.Feed(stream.first(cut), out);
    decoder.Feed(stream.subspan(cut), out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 || size > 4096)
        return -1;
    const std::span<const std::uint8_t> stream(data + 1, size - 1);
    const std::size_t cut = stream.empty() ? 0 : data[0] % (stream.size() + 1);

    const CDecoder::Output whole = Decode(stream, stream.size());
    const CDecoder::Output split = Decode(stream, cut);
    FUZZ_CHECK(whole.data == split.data);
    FUZZ_CHECK(whole.answers == split.answers);
    FUZZ_CHECK(whole.replies.size() == split.replies.size());

    FUZZ_CHECK(whole.data.size() <= stream.size());
    FUZZ_CHECK(whole.answers.size() % 3 == 0);
    for (std::size_t i = 0; i < whole.answers.size(); i += 3) {
        FUZZ_CHECK(whole.answers[i] == kIac);
        FUZZ_CHECK(whole.answers[i + 1] >= kWill && whole.answers[i + 1] <= kDont);
    }
    for (const ComPortReply& reply : whole.replies)
        FUZZ_CHECK(reply.value.size() < kMaxSubnegotiation);

    // Our own escaping, read back: exactly the bytes that went in.
    Bytes escaped;
    AppendEscaped(stream, escaped);
    const CDecoder::Output back = Decode(escaped, escaped.size() / 2);
    FUZZ_CHECK(back.data == Bytes(stream.begin(), stream.end()));
    FUZZ_CHECK(back.answers.empty() && back.replies.empty());
    return 0;
}
