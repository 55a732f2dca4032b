// The device tree's grouping over the probes, its green marks and the names
// it gives the dialer and the default entry.
#include "core/ui/device_tree.h"

#include <gtest/gtest.h>

#include "core/base/session_record.h"
#include "core/history/history_list.h"

#include "fake_network.h"
#include "test_support.h"

namespace hourlink {
namespace {

using G = DeviceGroup;

TEST(DeviceTree, EntriesAreGroupedByKindAndTheClientAdapterFoundOrAssumed) {
    test::FakeNetwork net;
    test::RecordingNotifier notifier;
    ManualClock clock{1'700'000'000};
    NetworkInfo info{net, notifier, clock};
    net.entries = {{"Office(2)", "vpn", "WAN Miniport (PPTP)", ""},
                   {"Dial", "modem", "56K", ""},
                   {"IR", "irda", "Infrared", ""},
                   {"ADSL", "PPPoE", "WAN Miniport (PPPOE)", ""}};
    // Only an Ethernet adapter with an address is the client's.
    net.adapters = {{23, "NTS PPPoE over PPP", "1.2.3.4", 0, ""},
                    {6, "NTS PPPoE Adapter Offline", "0.0.0.0", 0, ""},
                    {6, "nts pppoe adapter #2", "5.6.7.8", 0, ""}};
    net.parameters.hostName = "HOME";
    DeviceProbe probe = ProbeDevices(info);
    EXPECT_EQ(probe.hostName, "HOME");
    probe.entries.push_back({"Untyped", "x", static_cast<ConnectionType>(0), ""});
    const std::vector<DeviceItem> expected = {
        {G::kVpn, "Office(2)(WAN Miniport (PPTP))", "Office(2)", true},
        {G::kDialUp, "Dial(56K)", "Dial", true},
        {G::kOther, "IR(Infrared)", "IR", true},
        {G::kBroadband, "ADSL(WAN Miniport (PPPOE))", "ADSL", true},
        {G::kBroadband, "nts pppoe adapter #2", "nts pppoe adapter #2", false},
    };
    EXPECT_EQ(GroupDevices(probe), expected);

    // No adapter but the client installed: it is assumed, and the watcher
    // names its sessions so.
    net.adapters.clear();
    net.appPaths[L"EnterNet.exe"] = L"C:\\EnterNet";
    net.files.insert(L"C:\\EnterNet\\EnterNet.exe");
    EXPECT_EQ(GroupDevices(ProbeDevices(info)).back(),
              (DeviceItem{G::kBroadband, "NTS PPPoE Adapter", "NTS PPPoE Adapter", false}));
    EXPECT_TRUE(info.PppoeClientInstalledFlag());
}

TEST(DeviceTree, TheConnectionMarksTheEntryOfItsOwnNameInAnyCase) {
    // 23 bytes: "ADSL1" and nine two-byte characters (GBK); a session keeps 21
    // of them, as the 22nd would split a character.
    std::string longName = "ADSL1";
    for (int i = 0; i < 9; ++i) longName += "\xBF\xED";
    DeviceMarks marks({{G::kBroadband, "Home(WAN Miniport (PPPOE))", "Home", true},
                       {G::kDialUp, "Dial(Modem)", "Dial", true},
                       {G::kBroadband, "Home 2(WAN Miniport (PPPOE))", "Home 2", true},
                       {G::kVpn, "VPN(A)(PPTP)", "VPN(A)", true},
                       {G::kBroadband, longName + "(PPPOE)", longName, true},
                       {G::kBroadband, "NTS PPPoE Adapter", "NTS PPPoE Adapter", false}});
    EXPECT_TRUE(marks.Mark("").empty());
    EXPECT_EQ(marks.OnlineEntryName(), "");
    const struct {
        std::string connection;
        std::vector<std::size_t> marked;
        std::string entry;  // Property/DefaultConnect
    } cases[] = {
        {"Home", {0}, "Home"},  // not "Home 2", whose text holds it too
        {"HOME", {0}, "Home"},  // as the session shows it once it runs
        {"home 2", {2}, "Home 2"},
        {"VPN(A)", {3}, "VPN(A)"},  // not "VPN"
        {"Dial(Modem)", {}, ""},    // an item's text is not its name
        {longName.substr(0, 21), {4}, longName},
        {"nts pppoe adapter", {5}, ""},  // the client's adapter names no entry
        {"LAN", {}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(marks.Mark(c.connection), c.marked) << c.connection;
        EXPECT_EQ(marks.OnlineEntryName(), c.entry) << c.connection;
        for (std::size_t i : c.marked) EXPECT_TRUE(marks.IsMarked(i));
        EXPECT_EQ(marks.Unmark(), c.marked) << c.connection;
        EXPECT_EQ(marks.OnlineEntryName(), "");
    }

    // The item of an entry named with "(" still lists that entry's records.
    const HistoryFilter filter = TreeSelectionFilter(L"VPN(A)(PPTP)", "VPN(A)(PPTP)");
    SessionRecord mine, other;
    mine.SetName("VPN(A)");
    other.SetName("Dial");
    EXPECT_TRUE(filter.Accepts(mine));
    EXPECT_FALSE(filter.Accepts(other));
}

}  // namespace
}  // namespace hourlink
