// A scripted network for tests: RAS entries and connections, adapters, DNS
// servers, Wininet's state and windows are plain fields; ICMP echo requests to
// the hosts in `answeringHosts` get a well-formed reply.
#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>

#include "core/base/byte_order.h"
#include "core/net/icmp.h"
#include "core/net/network_platform.h"

namespace hourlink::test {

// Dotted text to a network-byte-order address (no validation: tests only).
inline std::uint32_t Ipv4(const std::string& dotted) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                   static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
    std::uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
}

class FakeNetwork;

class FakeIcmpSocket final : public IcmpSocket {
  public:
    explicit FakeIcmpSocket(FakeNetwork& network) : network_(network) {}
    int SetTimeouts(int milliseconds) override;
    std::optional<int> MaxMessageSize() override { return 65467; }
    int SendTo(std::uint32_t address, const std::uint8_t* data, std::size_t size) override;
    Received ReceiveFrom(std::uint8_t* buffer, std::size_t capacity) override;

  private:
    FakeNetwork& network_;
    std::deque<std::pair<std::uint32_t, std::vector<std::uint8_t>>> replies_;
};

class FakeNetwork final : public NetworkPlatform {
  public:
    bool ntFamily = true;

    std::vector<RasEntryProperties> entries;
    std::uint32_t entriesResult = 0;

    std::vector<RasConnection> connections;
    std::uint32_t connectionsResult = 0;
    std::map<RasHandle, std::pair<std::uint32_t, std::string>> pppAddresses;  // code, address

    bool hasStatistics = true;
    std::map<RasHandle, RasStatistics> statistics;
    std::uint32_t statisticsResult = 0;

    std::vector<AdapterInfo> adapters;
    // When not empty, each adapter query takes the next list from here instead.
    std::deque<std::vector<AdapterInfo>> adapterScript;
    std::uint32_t adaptersResult = 0;
    int adapterQueries = 0;

    NetworkParameters parameters{"test-host", {}};
    std::uint32_t parametersResult = 0;
    std::vector<InterfaceRow> interfaceRows;

    InternetState internet;
    std::vector<TopLevelWindow> windows;
    std::map<std::uintptr_t, std::vector<TopLevelWindow>> children;
    std::map<std::wstring, std::wstring> appPaths;
    std::set<std::wstring> files;

    std::set<std::string> answeringHosts;  // dotted addresses that answer echo
    int socketError = 0;                   // OpenIcmpSocket fails with this when set
    int timeoutError = 0;                  // SetTimeouts fails with this when set
    std::vector<std::uint32_t> echoTargets;
    // When not empty, the next request is answered with these bytes instead.
    std::deque<std::vector<std::uint8_t>> injectedReplies;
    // Datagrams that arrive before the answer to every request (somebody
    // else's ICMP traffic).
    std::vector<std::vector<std::uint8_t>> strayDatagrams;
    std::string strayFrom;  // the stray datagrams' source; empty: the probed host
    // Runs at the start of every receive: a test can hold the receiver there,
    // as a silent server keeps it waiting.
    std::function<void()> beforeReceive;
    std::uint32_t processId = 0x12345;
    std::map<std::string, std::string> hostNames;  // name -> dotted address

    bool IsNtFamily() override { return ntFamily; }
    std::uint32_t EnumRasEntries(std::vector<RasEntryProperties>& out) override {
        out = entries;
        return entriesResult;
    }
    std::uint32_t EnumRasConnections(std::vector<RasConnection>& out,
                                     std::size_t capacity) override {
        if (connectionsResult != 0) return connectionsResult;
        if (connections.size() > capacity) return kErrorBufferTooSmall;
        out = connections;
        return 0;
    }
    std::uint32_t GetPppClientAddress(RasHandle handle, std::string& address) override {
        const auto it = pppAddresses.find(handle);
        if (it == pppAddresses.end()) return 6;  // ERROR_INVALID_HANDLE
        address = it->second.second;
        return it->second.first;
    }
    bool HasRasStatistics() override { return hasStatistics; }
    std::uint32_t GetRasStatistics(RasHandle handle, RasStatistics& out) override {
        if (statisticsResult != 0) return statisticsResult;
        const auto it = statistics.find(handle);
        if (it == statistics.end()) return 6;
        out = it->second;
        return 0;
    }
    std::uint32_t GetAdapters(std::vector<AdapterInfo>& out) override {
        ++adapterQueries;
        if (!adapterScript.empty()) {
            out = adapterScript.front();
            adapterScript.pop_front();
        } else {
            out = adapters;
        }
        return adaptersResult;
    }
    std::uint32_t GetNetworkParameters(NetworkParameters& out) override {
        if (parametersResult == 0) out = parameters;
        return parametersResult;
    }
    // Rows without an index are numbered by their place in the table.
    std::uint32_t GetInterfaceTable(std::vector<InterfaceRow>& rows) override {
        ++interfaceTableReads;
        rows = interfaceRows;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].index == 0) rows[i].index = static_cast<std::uint32_t>(i + 1);
        }
        return 0;
    }
    std::uint32_t GetInterfaceRow(std::uint32_t index, InterfaceRow& row) override {
        std::vector<InterfaceRow> rows;
        GetInterfaceTable(rows);
        --interfaceTableReads;
        for (const InterfaceRow& r : rows) {
            if (r.index != index) continue;
            row = r;
            return 0;
        }
        return 1168;  // ERROR_NOT_FOUND
    }
    int interfaceTableReads = 0;
    InternetState QueryInternetState() override { return internet; }
    std::vector<TopLevelWindow> TopLevelWindows() override { return windows; }
    std::vector<TopLevelWindow> ChildWindows(std::uintptr_t parent) override {
        const auto it = children.find(parent);
        return it == children.end() ? std::vector<TopLevelWindow>() : it->second;
    }
    std::optional<std::wstring> AppPath(const std::wstring& executable) override {
        const auto it = appPaths.find(executable);
        if (it == appPaths.end()) return std::nullopt;
        return it->second;
    }
    bool FileExists(const std::wstring& path) override { return files.count(path) != 0; }
    std::unique_ptr<IcmpSocket> OpenIcmpSocket(int& error) override {
        if (socketError != 0) {
            error = socketError;
            return nullptr;
        }
        return std::make_unique<FakeIcmpSocket>(*this);
    }
    std::optional<std::uint32_t> ResolveHost(const std::string& host) override {
        if (!host.empty() && std::isdigit(static_cast<unsigned char>(host[0]))) return Ipv4(host);
        const auto it = hostNames.find(host);
        if (it == hostNames.end()) return std::nullopt;
        return Ipv4(it->second);
    }
    std::uint32_t ProcessId() override { return processId; }

    // A LAN with one adapter and one DNS server that answers.
    void SetUpLan(const std::string& address = "192.168.1.20",
                  const std::string& dns = "192.168.1.1") {
        adapters = {{6, "Realtek PCIe GbE", address, 0, dns}};
        parameters.dnsServers = {dns};
        answeringHosts = {dns};
        internet = {InternetState::Availability::Available, true, 2, "LAN Connection"};
    }
    void TearDownLan() {
        adapters.clear();
        answeringHosts.clear();
        internet.connected = false;
    }
};

inline int FakeIcmpSocket::SetTimeouts(int) {
    return network_.timeoutError;
}

inline int FakeIcmpSocket::SendTo(std::uint32_t address, const std::uint8_t* data,
                                  std::size_t size) {
    network_.echoTargets.push_back(address);
    const std::uint32_t strayFrom = network_.strayFrom.empty() ? address : Ipv4(network_.strayFrom);
    for (const auto& stray : network_.strayDatagrams) replies_.emplace_back(strayFrom, stray);
    if (!network_.injectedReplies.empty()) {
        replies_.emplace_back(address, std::move(network_.injectedReplies.front()));
        network_.injectedReplies.pop_front();
        return 0;
    }
    for (const auto& host : network_.answeringHosts) {
        if (Ipv4(host) != address) continue;
        // The reply: a 20-byte IPv4 header with TTL 64, then the request turned
        // into an echo reply.
        std::vector<std::uint8_t> reply(20 + size, 0);
        reply[0] = 0x45;
        reply[8] = 64;
        std::memcpy(reply.data() + 20, data, size);
        reply[20] = kIcmpEchoReply;
        replies_.emplace_back(address, std::move(reply));
    }
    return 0;
}

inline IcmpSocket::Received FakeIcmpSocket::ReceiveFrom(std::uint8_t* buffer,
                                                        std::size_t capacity) {
    if (network_.beforeReceive) network_.beforeReceive();
    if (replies_.empty()) return {10060, 0, 0};
    auto [from, bytes] = std::move(replies_.front());
    replies_.pop_front();
    const std::size_t n = std::min(capacity, bytes.size());
    std::memcpy(buffer, bytes.data(), n);
    return {0, n, from};
}

}  // namespace hourlink::test
