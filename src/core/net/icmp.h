// ICMP echo packets: the request as sent and the checks of a reply as received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace hourlink {

inline constexpr std::size_t kIcmpHeaderSize = 12;  // type, code, checksum, id, seq, send time
inline constexpr std::uint8_t kIcmpEchoRequest = 8;
inline constexpr std::uint8_t kIcmpEchoReply = 0;
inline constexpr std::uint8_t kIcmpPayloadByte = 0x45;  // 'E'

// The 16-bit Internet checksum (RFC 1071) over little-endian words, as the
// packet's fields are laid out in memory.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size);

// A zeroed echo request of `payloadSize` payload bytes with type, code,
// identifier and the payload filled in.
std::vector<std::uint8_t> MakeEchoRequest(std::uint16_t identifier, std::size_t payloadSize);

// Stamps sequence and send time into a request and recomputes its checksum.
void StampEchoRequest(std::span<std::uint8_t> packet, std::uint16_t sequence,
                      std::uint32_t sendTick);

struct EchoReply {
    enum class Kind {
        TooShort,      // fewer bytes than the IP header it announces plus 8
        NotEchoReply,  // an ICMP type other than echo reply
        OtherProcess,  // an echo reply to somebody else's request
        Match,         // our reply
    };
    Kind kind = Kind::TooShort;
    std::uint8_t icmpType = 0;
    std::uint8_t ttl = 0;
    std::uint16_t sequence = 0;
    std::uint32_t sendTick = 0;
};

// Examines `size` received bytes: an IPv4 header whose length is announced in
// its first byte, then the ICMP message. Never reads past `size`.
EchoReply ParseEchoReply(const std::uint8_t* data, std::size_t size, std::uint16_t identifier);

// The system's echo service (the IP helper's echo call, which needs no
// privilege) sends the ICMP header itself: it is given the request's data, the
// bytes after the first 8, and reports the reply's status, sender, TTL and
// echoed data instead of the datagram. HelperEchoDatagram rebuilds the
// datagram a raw socket would have received for our `request`, so one parser
// reads both.
inline constexpr std::uint32_t kHelperStatusTimedOut = 11010;  // IP_REQ_TIMED_OUT
struct HelperEcho {
    std::uint32_t status = 0;  // IP_SUCCESS (0) or an IP_* status
    std::uint32_t from = 0;    // network byte order
    std::uint8_t ttl = 0;
    std::span<const std::uint8_t> data;  // the echoed data
};
struct HelperOutcome {
    std::vector<std::uint8_t> datagram;  // IPv4 header and ICMP message; empty on error
    int error = 0;  // 0, 10060 (timed out) or the status the helper failed with
};
HelperOutcome HelperEchoDatagram(std::span<const std::uint8_t> request, const HelperEcho& echo);

}  // namespace hourlink
