// Pinger: ICMP echo requests to one host, one at a time, with the result of the
// last one as a text for the user of the object to show. Serves the LAN probe
// and the ping tool; each user owns its own object and uses it on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/net/icmp.h"
#include "core/net/network_platform.h"

namespace hourlink {

// The ids of the string resources that hold the Pinger's texts, and the texts.
namespace pinger_text {
inline constexpr int kReply = 106;
inline constexpr int kSocketFailed = 161;
inline constexpr int kTimeoutOptionFailed = 162;
inline constexpr int kResolveFailed = 163;
inline constexpr int kTooFewBytes = 164;
inline constexpr int kNonEcho = 165;
inline constexpr int kOtherProcess = 166;
inline constexpr int kTimedOut = 167;
inline constexpr int kSendFailed = 168;
inline constexpr int kReceiveFailed = 169;
// The format of each id above (printf style, strings as %ls); null for others.
const wchar_t* Format(int id);
}  // namespace pinger_text

// Dotted text of an IPv4 address in network byte order.
std::string DottedAddress(std::uint32_t address);

class Pinger {
  public:
    Pinger(NetworkPlatform& platform, const Clock& clock);
    ~Pinger();
    Pinger(const Pinger&) = delete;
    Pinger& operator=(const Pinger&) = delete;

    // Opens a socket to `host` (dotted or a name, UTF-8) with send and receive
    // timeouts; `maxMessageSize` receives the socket's limit when known. False
    // with the reason in Message() on failure.
    bool Open(int timeoutMs, const std::string& host, int messageSize, int& maxMessageSize);
    // Sends one request and waits for one reply. True when something arrived
    // (Message() says what), false when sending or receiving failed. `lossPercent`
    // is the loss over the requests sent before this one (unchanged on the first).
    bool ProbeOnce(int& lossPercent);
    // Sends one request and reads until this request's own reply arrives or
    // `timeoutMs` have passed since it was sent: other processes' replies,
    // replies from other hosts and other ICMP messages that come first are
    // passed over, so they can neither hide an answer nor stand in for one.
    // True when the reply came; for the LAN probe.
    bool ProbeForReply(int timeoutMs);
    // Closes the socket and frees the buffers; safe to call again.
    void Close();

    const std::wstring& Message() const { return message_; }
    int Received() const { return received_; }
    int Sent() const { return sent_; }
    bool IsOpen() const { return socket_ != nullptr; }

  private:
    void SetMessage(int id, ...);
    // Stamps and sends the next request; false (with the message) on failure.
    bool SendRequest();
    // One datagram received and examined; nothing (with the message) when the
    // receive failed or timed out.
    struct Datagram {
        std::size_t size = 0;
        std::uint32_t from = 0;
        EchoReply reply;
    };
    std::optional<Datagram> Receive();

    NetworkPlatform& platform_;
    const Clock& clock_;
    std::wstring message_;
    int received_ = 0;
    std::unique_ptr<IcmpSocket> socket_;
    std::uint32_t destination_ = 0;
    int sent_ = 0;
    std::vector<std::uint8_t> sendBuffer_;
    std::vector<std::uint8_t> receiveBuffer_;
    int messageSize_ = 0;
};

}  // namespace hourlink
