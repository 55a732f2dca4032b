#include "core/net/icmp.h"

#include <algorithm>
#include <optional>

#include "core/base/byte_order.h"

namespace hourlink {

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) sum += LoadU16(data + i);
    if (i < size) sum += data[i];
    sum = (sum & 0xFFFF) + (sum >> 16);
    sum += sum >> 16;
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::vector<std::uint8_t> MakeEchoRequest(std::uint16_t identifier, std::size_t payloadSize) {
    std::vector<std::uint8_t> packet(kIcmpHeaderSize + payloadSize, 0);
    packet[0] = kIcmpEchoRequest;
    packet[1] = 0;
    StoreU16(&packet[4], identifier);
    for (std::size_t i = kIcmpHeaderSize; i < packet.size(); ++i) packet[i] = kIcmpPayloadByte;
    return packet;
}

void StampEchoRequest(std::span<std::uint8_t> packet, std::uint16_t sequence,
                      std::uint32_t sendTick) {
    if (packet.size() < kIcmpHeaderSize) return;
    StoreU16(&packet[2], 0);
    StoreU32(&packet[8], sendTick);
    StoreU16(&packet[6], sequence);
    StoreU16(&packet[2], InternetChecksum(packet.data(), packet.size()));
}

EchoReply ParseEchoReply(const std::uint8_t* data, std::size_t size, std::uint16_t identifier) {
    EchoReply reply;
    if (size == 0) return reply;
    const std::size_t headerLength = static_cast<std::size_t>(data[0] & 0x0F) * 4;
    // A header shorter than the 20 bytes every IPv4 header has cannot be trusted
    // to hold the TTL; treat it like a truncated reply.
    if (headerLength < 20 || size < headerLength + 8) return reply;
    reply.ttl = data[8];
    const std::uint8_t* icmp = data + headerLength;
    reply.icmpType = icmp[0];
    if (reply.icmpType != kIcmpEchoReply) {
        reply.kind = EchoReply::Kind::NotEchoReply;
        return reply;
    }
    reply.sequence = LoadU16(icmp + 6);
    if (LoadU16(icmp + 4) != identifier) {
        reply.kind = EchoReply::Kind::OtherProcess;
        return reply;
    }
    // The send time sits in bytes 8..11 of the ICMP message; a reply that was
    // cut short of it reports 0.
    if (size >= headerLength + kIcmpHeaderSize) reply.sendTick = LoadU32(icmp + 8);
    reply.kind = EchoReply::Kind::Match;
    return reply;
}

namespace {

struct IcmpKind {
    std::uint8_t type;
    std::uint8_t code;
};

// The ICMP message behind each IP_* status the echo service reports for an
// answer that was not an echo reply.
std::optional<IcmpKind> KindOfStatus(std::uint32_t status) {
    switch (status) {
        case 11002: return IcmpKind{3, 0};   // IP_DEST_NET_UNREACHABLE
        case 11003: return IcmpKind{3, 1};   // IP_DEST_HOST_UNREACHABLE
        case 11004: return IcmpKind{3, 2};   // IP_DEST_PROT_UNREACHABLE
        case 11005: return IcmpKind{3, 3};   // IP_DEST_PORT_UNREACHABLE
        case 11009: return IcmpKind{3, 4};   // IP_PACKET_TOO_BIG
        case 11012: return IcmpKind{3, 0};   // IP_BAD_ROUTE
        case 11013: return IcmpKind{11, 0};  // IP_TTL_EXPIRED_TRANSIT
        case 11014: return IcmpKind{11, 1};  // IP_TTL_EXPIRED_REASSEM
        case 11015: return IcmpKind{12, 0};  // IP_PARAM_PROBLEM
        case 11016: return IcmpKind{4, 0};   // IP_SOURCE_QUENCH
        default: return std::nullopt;
    }
}

constexpr std::size_t kIpHeaderSize = 20;
constexpr int kTimedOutError = 10060;  // WSAETIMEDOUT, as a socket reports it

}  // namespace

HelperOutcome HelperEchoDatagram(std::span<const std::uint8_t> request, const HelperEcho& echo) {
    HelperOutcome outcome;
    if (echo.status == kHelperStatusTimedOut) {
        outcome.error = kTimedOutError;
        return outcome;
    }
    IcmpKind kind{kIcmpEchoReply, 0};
    std::span<const std::uint8_t> data = echo.data;
    if (echo.status != 0) {
        const auto other = KindOfStatus(echo.status);
        if (!other) {
            outcome.error = static_cast<int>(echo.status);
            return outcome;
        }
        kind = *other;
        data = {};  // an error message carries no echoed data of ours
    }
    std::vector<std::uint8_t>& d = outcome.datagram;
    d.assign(kIpHeaderSize + 8 + data.size(), 0);
    d[0] = 0x45;  // IPv4, five words of header
    d[8] = echo.ttl;
    d[9] = 1;  // ICMP
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&echo.from), 4, &d[12]);
    std::uint8_t* icmp = &d[kIpHeaderSize];
    icmp[0] = kind.type;
    icmp[1] = kind.code;
    // An echo reply answers our request: its identifier and sequence.
    if (kind.type == kIcmpEchoReply && request.size() >= 8) std::copy_n(&request[4], 4, icmp + 4);
    std::copy(data.begin(), data.end(), icmp + 8);
    StoreU16(icmp + 2, InternetChecksum(icmp, 8 + data.size()));
    return outcome;
}

}  // namespace hourlink
