// NetworkInfo: the program's one view of the machine's network. Each probe is an
// explicit call that refreshes its part and returns a result code; the results
// of the last probe of each kind stay readable.
//
// The watcher thread and the UI thread both call it. A probe asks the system
// with no lock held (a LAN probe may wait seconds for silent DNS servers) and
// then publishes its results under a short lock that guards only the stored
// data, so a query from the UI thread never waits for a probe in progress.
// Failures that want a message box are told to the notifier after the data
// lock is released.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/net/connection_type.h"
#include "core/net/network_platform.h"

namespace hourlink {

struct RasEntryInfo {
    std::string name;
    std::string deviceName;
    ConnectionType type = ConnectionType::Other;
    std::string phoneNumber;
};

struct ConnectionStatistics {
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    std::uint32_t speed = 0;     // bits per second
    std::uint32_t duration = 0;  // seconds
};

class NetworkInfo {
  public:
    NetworkInfo(NetworkPlatform& platform, Notifier& notifier, const Clock& clock);

    // Phonebook entries: 0, 14 or the RAS error code.
    std::uint32_t RefreshEntries();
    // Adapters that have an address: 0, 1 or the IP Helper error code.
    std::uint32_t RefreshAdapters();
    // The RAS connections that are up and the client address of the last one:
    // 0, 14, 2 (its address could not be had) or the RAS error code.
    std::uint32_t EnumerateRasConnections();
    // The address of a PPP adapter into the client address.
    bool FindPppAdapterIp();
    // Whether the PPPoE client's link is up, by its adapter or by its window.
    bool FindPppoeClientLink();
    // Whether a window of the PPPoE client reports a connection.
    bool FindPppoeClientWindow();
    // 0 when Wininet's state function could not be had, else 1.
    int QueryInternetState();
    // Whether a DNS server answers an echo: a LAN that reaches the Internet.
    bool ProbeLan();
    // 0, 1 (no statistics function), 2 (query failed), 3 (no connection), 4
    // (enumeration failed, also with more than one connection).
    std::uint32_t GetConnectionStatistics(ConnectionStatistics& statistics);
    // The same of one connection, by its handle, whatever else is up: 0, 1,
    // 2 or 3 (a handle of 0).
    std::uint32_t GetConnectionStatistics(RasHandle connection, ConnectionStatistics& statistics);
    // The phone number of the entry named exactly `entryName`, else "".
    std::string FindPhoneNumber(const std::string& entryName);
    std::string GetHostName();
    bool IsPppoeClientInstalled();

    // The results of the last probes (copies, taken under the lock).
    std::vector<RasEntryInfo> Entries() const;
    std::vector<std::string> ConnectionNames() const;
    std::vector<AdapterInfo> Adapters() const;
    std::vector<std::string> DnsServers() const;
    std::string ClientIp() const;
    std::string PppoeAdapterIp() const;
    int PppoeAdapterIndex() const;
    // The PPPoE client's adapter found by the last link test; nothing when the
    // link was recognised by the client's window (or not found).
    std::optional<AdapterInfo> PppoeAdapter() const;
    std::string InternetConnectionName() const;
    std::string InternetStateText() const;
    bool InternetConnected() const;
    RasHandle LastRasConnection() const;
    bool PppoeClientInstalledFlag() const;
    void SetPppoeClientInstalledFlag(bool installed);
    bool IsNtFamily() { return platform_.IsNtFamily(); }

    NetworkPlatform& Platform() { return platform_; }

    // The description that marks the PPPoE client's adapter, upper case.
    static constexpr std::string_view kPppoeAdapterMark = "NTS PPPOE";

  private:
    // Asks the system for the adapters with an address and stores them.
    std::uint32_t FetchAdapters(std::vector<AdapterInfo>& adapters);
    // The address of the first PPP adapter of `adapters`, stored as the client
    // address; false when there is none.
    bool TakePppAdapterIp(const std::vector<AdapterInfo>& adapters);
    bool ClientWindowConnected();

    NetworkPlatform& platform_;
    Notifier& notifier_;
    const Clock& clock_;
    // Guards the stored results below, never a call into the system.
    mutable std::mutex mutex_;

    std::vector<RasEntryInfo> entries_;
    std::vector<std::string> connectionNames_;
    std::vector<AdapterInfo> adapters_;
    std::vector<std::string> dnsServers_;
    std::string clientIp_;
    std::string pppoeAdapterIp_;
    std::string internetConnectionName_;
    std::string internetStateText_;
    int pppoeAdapterIndex_ = -1;
    std::optional<AdapterInfo> pppoeAdapter_;
    bool internetConnected_ = false;
    bool pppoeClientInstalled_ = false;
    RasHandle lastRasConnection_ = 0;
};

}  // namespace hourlink
