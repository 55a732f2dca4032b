// The device tree's contents and its marks, decided without windows: the
// machine's phonebook entries grouped by kind under the host's root, the
// PPPoE client's adapter, which items turn green for a connection, and which
// entry a selection or a finished connection names.
//
// Names and texts are GBK bytes, as the probes give them; the window converts
// them for showing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/net/network_info.h"

namespace hourlink {

// The four groups under the root, in the tree's order.
enum class DeviceGroup { kDialUp = 0, kBroadband = 1, kVpn = 2, kOther = 3 };
inline constexpr int kDeviceGroupCount = 4;

// Pictures of the shared image strip.
inline constexpr int kTreeImageDialUp = 0;    // telephone
inline constexpr int kTreeImageNetwork = 1;   // networked computers
inline constexpr int kTreeImageOnline = 2;    // green smiling face
inline constexpr int kTreeImageEntry = 5;     // green arrow
inline constexpr int kTreeImageComputer = 9;  // clock and calendar

struct DeviceItem {
    DeviceGroup group = DeviceGroup::kOther;
    std::string text;  // shown: "name(device)", or the adapter's description
    // What connecting, editing and the default entry use: a phonebook entry's
    // own name (which may itself hold "("), or the adapter's text.
    std::string name;
    bool phonebookEntry = true;  // false for the PPPoE client's adapter
    friend bool operator==(const DeviceItem&, const DeviceItem&) = default;
};

// What the tree is built from, as the probes report it.
struct DeviceProbe {
    std::string hostName;  // empty when it could not be read
    std::vector<RasEntryInfo> entries;
    std::vector<AdapterInfo> adapters;
    bool pppoeClientInstalled = false;
};

// Refreshes the phonebook entries and the adapters and asks for the host name
// and, when no adapter of the PPPoE client is there, whether the client is
// installed. Each probe publishes under NetworkInfo's short lock, so a watcher
// probe in progress is never waited for.
DeviceProbe ProbeDevices(NetworkInfo& network);

// The entry items in the phonebook's order, each with its group: every entry
// with a type as "%s(%s)" of its name and device (an entry without a type, 0,
// or with one outside the known types is left out); then, in the broadband
// group, the first Ethernet adapter whose description holds "NTS PPPOE" (any
// case), or, when there is none and the client is installed,
// "NTS PPPoE Adapter".
std::vector<DeviceItem> GroupDevices(const DeviceProbe& probe);

// The marks of the connection that is online and the selected entry.
class DeviceMarks {
  public:
    explicit DeviceMarks(std::vector<DeviceItem> items) : items_(std::move(items)) {}

    const std::vector<DeviceItem>& Items() const { return items_; }

    // A connection came up: the items whose name is the connection's turn
    // green; the indices returned. Names match without regard to ASCII case
    // and over the 22 bytes a session keeps of a name (kMaxNameBytes). An
    // empty name marks nothing.
    std::vector<std::size_t> Mark(const std::string& connectionName);
    // The connection ended: every marked item goes back to normal (indices
    // returned), not only the last one marked.
    std::vector<std::size_t> Unmark();
    bool IsMarked(std::size_t index) const;

    // The phonebook entry of the connection that is online (its real name,
    // spelt as in the phonebook), for the default entry; empty when none is
    // marked or it is the PPPoE client's adapter.
    std::string OnlineEntryName() const;

  private:
    std::vector<DeviceItem> items_;
    std::vector<std::size_t> marked_;
    std::optional<std::size_t> online_;  // the item naming the connection
};

}  // namespace hourlink
