#include "core/net/pinger.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "core/base/utf8.h"
#include "core/net/icmp.h"

namespace hourlink {

namespace pinger_text {

const wchar_t* Format(int id) {
    switch (id) {
        case kReply:
            return L"%d bytes from %ls: icmp_seq = %d, time: %d ms, ttl: %d.";
        case kSocketFailed:
            return L"Unable to create socket: %d.";
        case kTimeoutOptionFailed:
            return L"Unable to set recv or send timeout: %d.";
        case kResolveFailed:
            return L"Unable to resolve host address: %ls.";
        case kTooFewBytes:
            return L"Too few bytes from %ls.";
        case kNonEcho:
            return L"Non-echo type %d recvd.";
        case kOtherProcess:
            return L"其它程序也送出了消息";
        case kTimedOut:
            return L"超时.";
        case kSendFailed:
            return L"sendto failed: %d.";
        case kReceiveFailed:
            return L"recvfrom failed: %d.";
        default:
            return nullptr;
    }
}

}  // namespace pinger_text

namespace {

constexpr int kTimedOutError = 10060;  // WSAETIMEDOUT
// Payloads beyond this cannot travel in one IPv4 datagram anyway.
constexpr int kLargestPayload = 65500;

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

std::string DottedAddress(std::uint32_t address) {
    // Network byte order: the first octet is the lowest byte in memory.
    const auto* b = reinterpret_cast<const std::uint8_t*>(&address);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

Pinger::Pinger(NetworkPlatform& platform, const Clock& clock)
    : platform_(platform), clock_(clock) {}

Pinger::~Pinger() {
    Close();
}

void Pinger::SetMessage(int id, ...) {
    wchar_t buffer[512];
    va_list args;
    va_start(args, id);
    const int n = std::vswprintf(buffer, 512, pinger_text::Format(id), args);
    va_end(args);
    message_.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

bool Pinger::Open(int timeoutMs, const std::string& host, int messageSize, int& maxMessageSize) {
    Close();
    messageSize_ = std::clamp(messageSize, 0, kLargestPayload);

    int error = 0;
    socket_ = platform_.OpenIcmpSocket(error);
    if (!socket_) {
        SetMessage(pinger_text::kSocketFailed, error);
        return false;
    }
    if (const int e = socket_->SetTimeouts(timeoutMs); e != 0) {
        SetMessage(pinger_text::kTimeoutOptionFailed, e);
        Close();
        return false;
    }
    if (const auto max = socket_->MaxMessageSize()) maxMessageSize = *max;

    destination_ = 0;
    const auto address = platform_.ResolveHost(host);
    if (!address) {
        const std::wstring wide = Utf8ToWide(host);
        SetMessage(pinger_text::kResolveFailed, wide.c_str());
        Close();
        return false;
    }
    destination_ = *address;

    const auto identifier = static_cast<std::uint16_t>(platform_.ProcessId() & 0xFFFF);
    sendBuffer_ = MakeEchoRequest(identifier, static_cast<std::size_t>(messageSize_));
    receiveBuffer_.assign(static_cast<std::size_t>(messageSize_) + 72, 0);
    sent_ = 0;
    received_ = 0;
    return true;
}

bool Pinger::ProbeOnce(int& lossPercent) {
    if (socket_ && sent_ > 0) lossPercent = (sent_ - received_) * 100 / sent_;
    if (!SendRequest()) return false;
    const auto got = Receive();
    if (!got) return false;

    const std::wstring from = Widen(DottedAddress(got->from));
    const EchoReply& reply = got->reply;
    switch (reply.kind) {
        case EchoReply::Kind::TooShort:
            SetMessage(pinger_text::kTooFewBytes, from.c_str());
            break;
        case EchoReply::Kind::NotEchoReply:
            SetMessage(pinger_text::kNonEcho, static_cast<int>(reply.icmpType));
            break;
        case EchoReply::Kind::OtherProcess:
            SetMessage(pinger_text::kOtherProcess);
            break;
        case EchoReply::Kind::Match: {
            ++received_;
            const auto now = static_cast<std::uint32_t>(clock_.TickCount());
            SetMessage(pinger_text::kReply, static_cast<int>(got->size), from.c_str(),
                       static_cast<int>(reply.sequence), static_cast<int>(now - reply.sendTick),
                       static_cast<int>(reply.ttl));
            break;
        }
    }
    return true;
}

bool Pinger::ProbeForReply(int timeoutMs) {
    const auto sequence = static_cast<std::uint16_t>(sent_ & 0xFFFF);
    const std::uint64_t deadline =
        clock_.TickCount() + static_cast<std::uint64_t>(std::max(timeoutMs, 0));
    if (!SendRequest()) return false;
    do {
        const auto got = Receive();
        if (!got) return false;
        // The ping tool sends from this process with the same identifier and
        // its own sequence numbers: only the probed host's reply answers.
        if (got->reply.kind == EchoReply::Kind::Match && got->reply.sequence == sequence &&
            got->from == destination_) {
            ++received_;
            return true;
        }
    } while (clock_.TickCount() < deadline);
    SetMessage(pinger_text::kTimedOut);
    return false;
}

bool Pinger::SendRequest() {
    if (!socket_) {
        SetMessage(pinger_text::kSendFailed, 10038);  // WSAENOTSOCK: not opened
        return false;
    }
    const auto sendTick = static_cast<std::uint32_t>(clock_.TickCount());
    StampEchoRequest(sendBuffer_, static_cast<std::uint16_t>(sent_ & 0xFFFF), sendTick);
    ++sent_;
    if (const int e = socket_->SendTo(destination_, sendBuffer_.data(), sendBuffer_.size());
        e != 0) {
        SetMessage(pinger_text::kSendFailed, e);
        return false;
    }
    return true;
}

std::optional<Pinger::Datagram> Pinger::Receive() {
    const IcmpSocket::Received got =
        socket_->ReceiveFrom(receiveBuffer_.data(), receiveBuffer_.size());
    if (got.error == kTimedOutError) {
        SetMessage(pinger_text::kTimedOut);
        return std::nullopt;
    }
    if (got.error != 0) {
        SetMessage(pinger_text::kReceiveFailed, got.error);
        return std::nullopt;
    }
    const std::size_t size = std::min(got.size, receiveBuffer_.size());
    const auto identifier = static_cast<std::uint16_t>(platform_.ProcessId() & 0xFFFF);
    return Datagram{size, got.from, ParseEchoReply(receiveBuffer_.data(), size, identifier)};
}

void Pinger::Close() {
    socket_.reset();
    sendBuffer_.clear();
    sendBuffer_.shrink_to_fit();
    receiveBuffer_.clear();
    receiveBuffer_.shrink_to_fit();
}

}  // namespace hourlink
