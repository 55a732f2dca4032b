#include "core/net/network_info.h"

#include <limits>

#include "core/net/pinger.h"

namespace hourlink {

namespace {

constexpr std::string_view kNoAddress = "0.0.0.0";
constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();
// Titles of the PPPoE client's window while it is connected ("连接到" in GBK).
constexpr std::string_view kConnectedTitles[] = {"Connected to", "\xC1\xAC\xBD\xD3\xB5\xBD"};

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

NetworkInfo::NetworkInfo(NetworkPlatform& platform, Notifier& notifier, const Clock& clock)
    : platform_(platform), notifier_(notifier), clock_(clock) {}

std::uint32_t NetworkInfo::RefreshEntries() {
    std::vector<RasEntryProperties> properties;
    const std::uint32_t result = platform_.EnumRasEntries(properties);
    const bool nt = platform_.IsNtFamily();
    // Entries read before a failure are kept.
    std::vector<RasEntryInfo> entries;
    entries.reserve(properties.size());
    for (const auto& p : properties) {
        entries.push_back(
            {p.name, p.deviceName, Classify(p.deviceType, p.deviceName, nt), p.localPhoneNumber});
    }
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
    return result;
}

std::uint32_t NetworkInfo::RefreshAdapters() {
    std::vector<AdapterInfo> adapters;
    return FetchAdapters(adapters);
}

std::uint32_t NetworkInfo::FetchAdapters(std::vector<AdapterInfo>& adapters) {
    std::vector<AdapterInfo> all;
    const std::uint32_t result = platform_.GetAdapters(all);
    adapters.clear();
    for (auto& adapter : all) {
        if (!Contains(adapter.ipAddress, kNoAddress)) adapters.push_back(std::move(adapter));
    }
    std::lock_guard lock(mutex_);
    adapters_ = adapters;
    return result;
}

std::uint32_t NetworkInfo::EnumerateRasConnections() {
    {
        std::lock_guard lock(mutex_);
        connectionNames_.clear();
        clientIp_.clear();
    }
    std::vector<RasConnection> connections;
    const std::uint32_t result = platform_.EnumRasConnections(connections, kAnyNumber);
    if (result != 0) return result;
    for (const auto& connection : connections) {
        std::string address;
        const std::uint32_t projection = platform_.GetPppClientAddress(connection.handle, address);
        {
            std::lock_guard lock(mutex_);
            connectionNames_.push_back(connection.entryName);
            lastRasConnection_ = connection.handle;
            if (projection == 0) clientIp_ = address;
        }
        if (projection != 0) {
            // The connection's own address is unknown, whatever the reason:
            // take the PPP adapter's.
            std::vector<AdapterInfo> adapters;
            FetchAdapters(adapters);
            TakePppAdapterIp(adapters);
            return 2;
        }
    }
    return 0;
}

bool NetworkInfo::FindPppAdapterIp() {
    std::vector<AdapterInfo> adapters;
    FetchAdapters(adapters);
    return TakePppAdapterIp(adapters);
}

bool NetworkInfo::TakePppAdapterIp(const std::vector<AdapterInfo>& adapters) {
    for (const auto& adapter : adapters) {
        if (adapter.type == 23 || Contains(UpperGbk(adapter.description), "PPP ADAPTER")) {
            std::lock_guard lock(mutex_);
            clientIp_ = adapter.ipAddress;
            return true;
        }
    }
    return false;
}

bool NetworkInfo::FindPppoeClientLink() {
    std::vector<AdapterInfo> adapters;
    FetchAdapters(adapters);
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        const AdapterInfo& adapter = adapters[i];
        if (Contains(UpperGbk(adapter.description), kPppoeAdapterMark) &&
            !IsPrivateAddress(adapter.ipAddress)) {
            std::lock_guard lock(mutex_);
            pppoeAdapterIp_ = adapter.ipAddress;
            pppoeAdapterIndex_ = static_cast<int>(i);
            pppoeAdapter_ = adapter;
            return true;
        }
    }
    if (ClientWindowConnected()) {
        std::lock_guard lock(mutex_);
        pppoeAdapterIndex_ = -1;
        pppoeAdapter_.reset();
        return true;
    }
    return false;
}

bool NetworkInfo::FindPppoeClientWindow() {
    return ClientWindowConnected();
}

bool NetworkInfo::ClientWindowConnected() {
    for (const auto& window : platform_.TopLevelWindows()) {
        for (std::string_view title : kConnectedTitles) {
            if (Contains(window.title, title)) return true;
        }
    }
    return false;
}

int NetworkInfo::QueryInternetState() {
    {
        std::lock_guard lock(mutex_);
        internetConnected_ = false;
        internetConnectionName_.clear();
        internetStateText_.clear();
    }
    const InternetState state = platform_.QueryInternetState();
    switch (state.availability) {
        case InternetState::Availability::LibraryMissing:
            notifier_.ShowMessage(L"LoadLibrary(Wininet.dll)");
            return 0;
        case InternetState::Availability::FunctionMissing:
            notifier_.ShowMessage(L"GetProcAddress()  GetInternetConnectedStateEx");
            return 0;
        case InternetState::Availability::Available:
            break;
    }
    if (!state.connected) return 1;
    // Windows combines the flags (a LAN with RAS installed is 2 | 16): the
    // kind of connection names the state before what is merely installed.
    static constexpr std::pair<std::uint32_t, const char*> kStates[] = {
        {1, "INTERNET_CONNECTION_MODEM"},   {2, "INTERNET_CONNECTION_LAN"},
        {4, "INTERNET_CONNECTION_PROXY"},   {32, "INTERNET_CONNECTION_OFFLINE"},
        {16, "INTERNET_RAS_INSTALLED"},
    };
    std::string stateText;
    for (const auto& [flag, text] : kStates) {
        if ((state.flags & flag) != 0) {
            stateText = text;
            break;
        }
    }
    std::lock_guard lock(mutex_);
    internetConnected_ = true;
    internetConnectionName_ = state.connectionName;
    internetStateText_ = std::move(stateText);
    return 1;
}

bool NetworkInfo::ProbeLan() {
    NetworkParameters parameters;
    if (platform_.GetNetworkParameters(parameters) != 0) return false;
    {
        std::lock_guard lock(mutex_);
        dnsServers_ = parameters.dnsServers;
    }

    // Up to a second per silent server: no lock is held meanwhile.
    bool answered = false;
    Pinger pinger(platform_, clock_);
    for (const auto& server : parameters.dnsServers) {
        int maxMessageSize = 0;
        if (pinger.Open(1000, server, 64, maxMessageSize) && pinger.ProbeForReply(1000)) {
            answered = true;
            break;
        }
    }
    if (!answered) return false;

    std::lock_guard lock(mutex_);
    clientIp_ = adapters_.empty() ? std::string() : adapters_.front().ipAddress;
    connectionNames_.assign(1, internetConnectionName_);
    return true;
}

std::uint32_t NetworkInfo::GetConnectionStatistics(ConnectionStatistics& statistics) {
    // Touches none of the stored results: the traffic figures ask this every
    // second from the UI thread.
    if (!platform_.HasRasStatistics()) {
        notifier_.ShowMessage(L"GetProcAddress()  RasGetConnectionStatistics");
        return 1;
    }
    // Room for one connection only: with two up the statistics are ambiguous.
    std::vector<RasConnection> connections;
    if (platform_.EnumRasConnections(connections, 1) != 0 || connections.size() > 1) return 4;
    if (connections.empty()) return 3;
    return GetConnectionStatistics(connections.front().handle, statistics);
}

std::uint32_t NetworkInfo::GetConnectionStatistics(RasHandle connection,
                                                   ConnectionStatistics& statistics) {
    if (!platform_.HasRasStatistics()) {
        notifier_.ShowMessage(L"GetProcAddress()  RasGetConnectionStatistics");
        return 1;
    }
    if (connection == 0) return 3;
    RasStatistics raw;
    if (platform_.GetRasStatistics(connection, raw) != 0) return 2;
    statistics.received = raw.bytesReceived;
    statistics.sent = raw.bytesSent;
    statistics.speed = raw.bitsPerSecond;
    // The whole length, days included.
    statistics.duration = raw.durationMs / 1000;
    return 0;
}

std::string NetworkInfo::FindPhoneNumber(const std::string& entryName) {
    std::lock_guard lock(mutex_);
    for (const auto& entry : entries_) {
        if (entry.name == entryName) return entry.phoneNumber;
    }
    return {};
}

std::string NetworkInfo::GetHostName() {
    NetworkParameters parameters;
    if (platform_.GetNetworkParameters(parameters) != 0) return {};
    return parameters.hostName;
}

bool NetworkInfo::IsPppoeClientInstalled() {
    const auto directory = platform_.AppPath(L"EnterNet.exe");
    if (!directory) return false;
    return platform_.FileExists(*directory + L"\\EnterNet.exe");
}

std::vector<RasEntryInfo> NetworkInfo::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}
std::vector<std::string> NetworkInfo::ConnectionNames() const {
    std::lock_guard lock(mutex_);
    return connectionNames_;
}
std::vector<AdapterInfo> NetworkInfo::Adapters() const {
    std::lock_guard lock(mutex_);
    return adapters_;
}
std::vector<std::string> NetworkInfo::DnsServers() const {
    std::lock_guard lock(mutex_);
    return dnsServers_;
}
std::string NetworkInfo::ClientIp() const {
    std::lock_guard lock(mutex_);
    return clientIp_;
}
std::string NetworkInfo::PppoeAdapterIp() const {
    std::lock_guard lock(mutex_);
    return pppoeAdapterIp_;
}
int NetworkInfo::PppoeAdapterIndex() const {
    std::lock_guard lock(mutex_);
    return pppoeAdapterIndex_;
}
std::optional<AdapterInfo> NetworkInfo::PppoeAdapter() const {
    std::lock_guard lock(mutex_);
    return pppoeAdapter_;
}
std::string NetworkInfo::InternetConnectionName() const {
    std::lock_guard lock(mutex_);
    return internetConnectionName_;
}
std::string NetworkInfo::InternetStateText() const {
    std::lock_guard lock(mutex_);
    return internetStateText_;
}
bool NetworkInfo::InternetConnected() const {
    std::lock_guard lock(mutex_);
    return internetConnected_;
}
RasHandle NetworkInfo::LastRasConnection() const {
    std::lock_guard lock(mutex_);
    return lastRasConnection_;
}
bool NetworkInfo::PppoeClientInstalledFlag() const {
    std::lock_guard lock(mutex_);
    return pppoeClientInstalled_;
}
void NetworkInfo::SetPppoeClientInstalledFlag(bool installed) {
    std::lock_guard lock(mutex_);
    pppoeClientInstalled_ = installed;
}

}  // namespace hourlink
