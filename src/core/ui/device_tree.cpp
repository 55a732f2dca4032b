#include "core/ui/device_tree.h"

#include <algorithm>

#include "core/base/gbk.h"
#include "core/base/session_record.h"

namespace hourlink {

namespace {

constexpr std::string_view kAssumedAdapter = "NTS PPPoE Adapter";
constexpr std::uint32_t kEthernet = 6;

std::optional<DeviceGroup> GroupOf(ConnectionType type) {
    switch (type) {
        case ConnectionType::Modem:
            return DeviceGroup::kDialUp;
        case ConnectionType::Broadband:
            return DeviceGroup::kBroadband;
        case ConnectionType::Vpn:
            return DeviceGroup::kVpn;
        case ConnectionType::Irda:
        case ConnectionType::Parallel:
        case ConnectionType::Other:
            return DeviceGroup::kOther;
    }
    return std::nullopt;  // no type, or a value the probes never give
}

const AdapterInfo* FindPppoeAdapter(const std::vector<AdapterInfo>& adapters) {
    for (const AdapterInfo& adapter : adapters) {
        if (adapter.type == kEthernet &&
            UpperGbk(adapter.description).find(NetworkInfo::kPppoeAdapterMark) !=
                std::string::npos) {
            return &adapter;
        }
    }
    return nullptr;
}

// A name as a session carries it: cut to the record's name field (never
// inside a character), and in capitals, since RAS tells entry names apart
// without regard to case and the session upper-cases its name once it runs.
std::string SessionNameKey(std::string_view name) {
    return UpperGbk(name.substr(0, GbkPrefixLength(name, kMaxNameBytes)));
}

}  // namespace

DeviceProbe ProbeDevices(NetworkInfo& network) {
    DeviceProbe probe;
    probe.hostName = network.GetHostName();
    network.RefreshEntries();
    probe.entries = network.Entries();
    network.RefreshAdapters();
    probe.adapters = network.Adapters();
    if (!FindPppoeAdapter(probe.adapters)) {
        probe.pppoeClientInstalled = network.IsPppoeClientInstalled();
        // The watcher names the client's sessions by this.
        if (probe.pppoeClientInstalled) network.SetPppoeClientInstalledFlag(true);
    }
    return probe;
}

std::vector<DeviceItem> GroupDevices(const DeviceProbe& probe) {
    std::vector<DeviceItem> items;
    for (const RasEntryInfo& entry : probe.entries) {
        const auto group = GroupOf(entry.type);
        if (!group) continue;
        items.push_back({*group, entry.name + "(" + entry.deviceName + ")", entry.name, true});
    }
    if (const AdapterInfo* adapter = FindPppoeAdapter(probe.adapters)) {
        items.push_back(
            {DeviceGroup::kBroadband, adapter->description, adapter->description, false});
    } else if (probe.pppoeClientInstalled) {
        items.push_back({DeviceGroup::kBroadband, std::string(kAssumedAdapter),
                         std::string(kAssumedAdapter), false});
    }
    return items;
}

std::vector<std::size_t> DeviceMarks::Mark(const std::string& connectionName) {
    std::vector<std::size_t> marked;
    if (connectionName.empty()) return marked;
    const std::string key = SessionNameKey(connectionName);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (SessionNameKey(items_[i].name) != key) continue;
        // Two items match only when their names agree in all a session keeps
        // (or one entry is in two phonebooks): the first names the connection.
        if (marked.empty()) online_ = i;
        marked.push_back(i);
        if (!IsMarked(i)) marked_.push_back(i);
    }
    return marked;
}

std::vector<std::size_t> DeviceMarks::Unmark() {
    std::vector<std::size_t> unmarked;
    unmarked.swap(marked_);
    online_.reset();
    return unmarked;
}

bool DeviceMarks::IsMarked(std::size_t index) const {
    return std::find(marked_.begin(), marked_.end(), index) != marked_.end();
}

std::string DeviceMarks::OnlineEntryName() const {
    if (!online_) return {};
    const DeviceItem& item = items_[*online_];
    return item.phonebookEntry ? item.name : std::string();
}

}  // namespace hourlink
