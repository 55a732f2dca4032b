#include "core/net/icmp.h"

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

}  // namespace hourlink
