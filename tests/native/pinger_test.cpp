#include "core/net/pinger.h"

#include <gtest/gtest.h>

#include <random>

#include "core/base/byte_order.h"
#include "core/net/address_list.h"
#include "core/net/icmp.h"
#include "fake_network.h"

namespace hourlink {
namespace {

using test::FakeNetwork;

TEST(IcmpPacket, ChecksumAndRequestLayout) {
    // RFC 1071's worked example: checksum 220d in network order, so 0x0d22 as a
    // little-endian word.
    const std::uint8_t sample[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(InternetChecksum(sample, sizeof sample), 0x0d22);
    // An odd trailing byte is added as it is.
    const std::uint8_t odd[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(InternetChecksum(odd, 3), static_cast<std::uint16_t>(~(0x0201u + 0x03u) & 0xFFFF));

    auto packet = MakeEchoRequest(0x2345, 64);
    ASSERT_EQ(packet.size(), 76u);
    StampEchoRequest(packet, 7, 0xA1B2C3D4);
    EXPECT_EQ(packet[0], 8);
    EXPECT_EQ(packet[1], 0);
    EXPECT_EQ(LoadU16(&packet[4]), 0x2345);
    EXPECT_EQ(LoadU16(&packet[6]), 7);
    EXPECT_EQ(LoadU32(&packet[8]), 0xA1B2C3D4u);
    EXPECT_EQ(packet[12], 0x45);
    EXPECT_EQ(packet.back(), 0x45);
    // A packet with its checksum in place sums to zero.
    EXPECT_EQ(InternetChecksum(packet.data(), packet.size()), 0);
}

// The echo service's answers, rebuilt as datagrams, read as a raw socket's
// would be: our reply matches with its sequence, stamp and TTL; errors become
// the ICMP message behind them; a time-out and a failure are errors.
TEST(IcmpPacket, EchoServiceAnswersReadAsTheDatagramsTheyStandFor) {
    auto request = MakeEchoRequest(0x2345, 64);
    StampEchoRequest(request, 9, 0xA1B2C3D4);
    const std::span<const std::uint8_t> data(request.data() + 8, request.size() - 8);
    const std::uint32_t from = 0x0100007F;  // 127.0.0.1

    const auto ok = HelperEchoDatagram(request, {0, from, 128, data});
    ASSERT_EQ(ok.error, 0);
    ASSERT_EQ(ok.datagram.size(), 20u + 12 + 64);  // what a raw socket receives
    EXPECT_EQ(LoadU32(&ok.datagram[12]), from);
    EXPECT_EQ(InternetChecksum(&ok.datagram[20], ok.datagram.size() - 20), 0);
    const EchoReply reply = ParseEchoReply(ok.datagram.data(), ok.datagram.size(), 0x2345);
    EXPECT_EQ(reply.kind, EchoReply::Kind::Match);
    EXPECT_EQ(reply.sequence, 9);
    EXPECT_EQ(reply.sendTick, 0xA1B2C3D4u);
    EXPECT_EQ(reply.ttl, 128);

    const struct {
        std::uint32_t status;
        int error;
        int icmpType;  // -1: no datagram
    } cases[] = {
        {11003, 0, 3},            // host unreachable
        {11013, 0, 11},           // TTL expired in transit
        {11010, 10060, -1},       // timed out, as a socket's receive says it
        {11050, 11050, -1},       // a general failure is reported with its status
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        const auto got = HelperEchoDatagram(request, {c.status, from, 64, data});
        EXPECT_EQ(got.error, c.error);
        if (c.icmpType < 0) {
            EXPECT_TRUE(got.datagram.empty());
            continue;
        }
        const EchoReply other = ParseEchoReply(got.datagram.data(), got.datagram.size(), 0x2345);
        EXPECT_EQ(other.kind, EchoReply::Kind::NotEchoReply);
        EXPECT_EQ(other.icmpType, c.icmpType);
    }
}

class PingerTest : public ::testing::Test {
  protected:
    std::vector<std::uint8_t> Reply(std::uint8_t headerWords, std::uint8_t type, std::uint16_t id,
                                    std::size_t icmpBytes = 12) {
        std::vector<std::uint8_t> r(headerWords * 4u + icmpBytes, 0);
        r[0] = static_cast<std::uint8_t>(0x40 | headerWords);
        r[8] = 99;
        if (icmpBytes >= 8) {
            r[headerWords * 4u] = type;
            StoreU16(&r[headerWords * 4u + 4], id);
        }
        return r;
    }

    FakeNetwork net;
    ManualClock clock{0, 5000};
    Pinger pinger{net, clock};
    int maxSize = -1;
    int loss = -1;
};

TEST_F(PingerTest, RepliesAreCountedAndDescribed) {
    net.answeringHosts = {"127.0.0.1"};
    ASSERT_TRUE(pinger.Open(1000, "127.0.0.1", 64, maxSize));
    EXPECT_EQ(maxSize, 65467);
    for (int seq = 0; seq < 3; ++seq) {
        ASSERT_TRUE(pinger.ProbeOnce(loss));
        EXPECT_EQ(pinger.Message(), L"96 bytes from 127.0.0.1: icmp_seq = " + std::to_wstring(seq) +
                                        L", time: 0 ms, ttl: 64.");
    }
    EXPECT_EQ(loss, 0);
    EXPECT_EQ(pinger.Received(), 3);

    // A host that stops answering: the time-out is told, and the loss counts it
    // from the next request on.
    net.answeringHosts.clear();
    EXPECT_FALSE(pinger.ProbeOnce(loss));
    EXPECT_EQ(pinger.Message(), L"超时.");
    EXPECT_FALSE(pinger.ProbeOnce(loss));
    EXPECT_EQ(loss, 25);  // 1 of 4 lost before the fifth request
}

TEST_F(PingerTest, OddRepliesAreNamedButNotCounted) {
    ASSERT_TRUE(pinger.Open(1000, "10.0.0.1", 32, maxSize));
    const std::uint16_t ours = net.processId & 0xFFFF;
    net.injectedReplies = {Reply(5, 0, ours ^ 1), Reply(5, 3, ours), Reply(5, 0, ours, 7),
                           Reply(15, 0, ours, 4)};
    EXPECT_TRUE(pinger.ProbeOnce(loss));
    EXPECT_EQ(pinger.Message(), L"其它程序也送出了消息");
    EXPECT_TRUE(pinger.ProbeOnce(loss));
    EXPECT_EQ(pinger.Message(), L"Non-echo type 3 recvd.");
    EXPECT_TRUE(pinger.ProbeOnce(loss));
    EXPECT_EQ(pinger.Message(), L"Too few bytes from 10.0.0.1.");
    // A header that claims 60 bytes but only 64 arrived is too short as well.
    EXPECT_TRUE(pinger.ProbeOnce(loss));
    EXPECT_EQ(pinger.Message(), L"Too few bytes from 10.0.0.1.");
    EXPECT_EQ(pinger.Received(), 0);
}

TEST_F(PingerTest, ProbeIsNotAnsweredByAnotherHost) {
    // The ping tool shares the process's identifier: its reply from the host it
    // pings may carry the probe's sequence number, yet the server stays silent.
    ASSERT_TRUE(pinger.Open(1000, "192.168.1.1", 64, maxSize));
    net.strayFrom = "10.0.0.9";
    net.strayDatagrams = {Reply(5, 0, net.processId & 0xFFFF)};  // sequence 0, the probe's
    EXPECT_FALSE(pinger.ProbeForReply(1000));
    EXPECT_EQ(pinger.Received(), 0);
}

TEST_F(PingerTest, OpenFailuresSayWhy) {
    EXPECT_FALSE(pinger.Open(1000, "no.such.host", 64, maxSize));
    EXPECT_EQ(pinger.Message(), L"Unable to resolve host address: no.such.host.");
    // A name in Chinese is told as typed; bytes that are no UTF-8 as U+FFFD.
    EXPECT_FALSE(pinger.Open(1000, "主机", 64, maxSize));
    EXPECT_EQ(pinger.Message(), L"Unable to resolve host address: 主机.");
    EXPECT_FALSE(pinger.Open(1000, "a\xd6\xf7\xc0\x80\xed\xa0\x80z", 64, maxSize));
    EXPECT_EQ(pinger.Message(), L"Unable to resolve host address: a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz.");
    net.hostNames["router"] = "192.168.1.1";
    EXPECT_TRUE(pinger.Open(1000, "router", 64, maxSize));

    net.timeoutError = 10042;
    EXPECT_FALSE(pinger.Open(1000, "router", 64, maxSize));
    EXPECT_EQ(pinger.Message(), L"Unable to set recv or send timeout: 10042.");
    net.socketError = 10013;
    EXPECT_FALSE(pinger.Open(1000, "router", 64, maxSize));
    EXPECT_EQ(pinger.Message(), L"Unable to create socket: 10013.");
    EXPECT_FALSE(pinger.IsOpen());
    EXPECT_FALSE(pinger.ProbeOnce(loss));  // probing a closed pinger fails cleanly
    pinger.Close();
    pinger.Close();
}

// Random bytes must never make the parsers read outside what they were given;
// AddressSanitizer watches every access.
TEST(UntrustedBytes, ParsersStayInsideTheirBuffers) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 200000; ++round) {
        const std::size_t size = random() % 100;
        std::vector<std::uint8_t> bytes(size);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(random));
        if (size > 0 && round % 2 == 0)
            bytes[0] = static_cast<std::uint8_t>(0x40 | (random() % 16));
        const auto reply = ParseEchoReply(bytes.data(), size, 0x1234);
        if (reply.kind == EchoReply::Kind::Match) {
            ASSERT_GE(size, static_cast<std::size_t>((bytes[0] & 0x0F) * 4 + 8));
        }
        const auto base = reinterpret_cast<std::uintptr_t>(bytes.data());
        const auto list = ParseAddressList(bytes.data(), size, base);
        if (list.valid) {
            ASSERT_LE(list.ipv4.size(), static_cast<std::size_t>(list.count));
        }
    }
}

TEST(AddressListParsing, ReadsIpv4EntriesAndRejectsLies) {
    // Count 2: one IPv4 address, one IPv6 (skipped), each pointing into the buffer.
    std::vector<std::uint8_t> buffer(8 + 2 * 16 + 16 + 28, 0);
    const auto base = reinterpret_cast<std::uintptr_t>(buffer.data());
    StoreI32(&buffer[0], 2);
    const auto put = [&](std::size_t entry, std::size_t offset, int length) {
        const std::uint64_t pointer = base + offset;
        StoreU32(&buffer[8 + 16 * entry], static_cast<std::uint32_t>(pointer));
        StoreU32(&buffer[8 + 16 * entry + 4], static_cast<std::uint32_t>(pointer >> 32));
        StoreI32(&buffer[8 + 16 * entry + 8], length);
    };
    put(0, 40, 16);
    StoreU16(&buffer[40], 2);
    buffer[44] = 10, buffer[45] = 213, buffer[46] = 0, buffer[47] = 2;
    put(1, 56, 28);
    StoreU16(&buffer[56], 23);
    auto list = ParseAddressList(buffer.data(), buffer.size(), base);
    ASSERT_TRUE(list.valid);
    EXPECT_EQ(list.count, 2);
    ASSERT_EQ(list.ipv4.size(), 1u);
    EXPECT_EQ(list.ipv4[0], test::Ipv4("10.213.0.2"));

    put(1, 60, 28);  // runs past the end of the buffer
    EXPECT_FALSE(ParseAddressList(buffer.data(), buffer.size(), base).valid);
    StoreI32(&buffer[0], 1000);  // more entries than fit
    EXPECT_FALSE(ParseAddressList(buffer.data(), buffer.size(), base).valid);
    StoreI32(&buffer[0], -1);
    EXPECT_FALSE(ParseAddressList(buffer.data(), buffer.size(), base).valid);
    StoreI32(&buffer[0], 0);
    EXPECT_TRUE(ParseAddressList(buffer.data(), buffer.size(), base).valid);
}

}  // namespace
}  // namespace hourlink
