// libFuzzer target for the ping's reply parser: the first two bytes are the
// identifier the pinger waits for, the rest is a received datagram (an IPv4
// header announcing its length, then the ICMP message).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/base/byte_order.h"
#include "core/net/icmp.h"
#include "fuzz_support.h"

using namespace hourlink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint16_t identifier = LoadU16(data);
    // A copy of exactly the bytes received, so that ASan sees a read past them.
    const std::vector<std::uint8_t> datagram(data + 2, data + size);
    const EchoReply reply = ParseEchoReply(datagram.data(), datagram.size(), identifier);
    if (reply.kind == EchoReply::Kind::TooShort) return 0;

    // Whatever the parser took apart, it had a whole IPv4 header and the
    // ICMP message's first 8 bytes.
    const std::size_t header = static_cast<std::size_t>(datagram[0] & 0x0F) * 4;
    FUZZ_REQUIRE(header >= 20 && datagram.size() >= header + 8);
    FUZZ_REQUIRE(reply.icmpType == datagram[header]);
    if (reply.kind == EchoReply::Kind::Match) {
        FUZZ_REQUIRE(reply.icmpType == kIcmpEchoReply);
        FUZZ_REQUIRE(LoadU16(&datagram[header + 4]) == identifier);
    }
    return 0;
}
