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

TEST(DeviceTree, EveryMatchTurnsGreenEveryOneReturnsAndTheRealNameIsTheDefault) {
    DeviceMarks marks({{G::kBroadband, "Home(PPPOE)", "Home", true},
                       {G::kDialUp, "Dial(Modem)", "Dial", true},
                       {G::kBroadband, "Home 2(PPPOE)", "Home 2", true},
                       {G::kVpn, "VPN(A)(PPTP)", "VPN(A)", true},
                       {G::kBroadband, "NTS PPPoE Adapter", "NTS PPPoE Adapter", false}});
    EXPECT_TRUE(marks.Mark("").empty());
    // Both texts hold the name; the last one names the connection.
    EXPECT_EQ(marks.Mark("Home"), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(marks.OnlineEntryName(), "Home 2");
    // A text held in the name marks too.
    EXPECT_EQ(marks.Mark("Dial(Modem) 1"), (std::vector<std::size_t>{1}));
    EXPECT_EQ(marks.Unmark(), (std::vector<std::size_t>{0, 2, 1}));
    EXPECT_EQ(marks.OnlineEntryName(), "");

    marks.Mark("VPN(A)");
    EXPECT_EQ(marks.OnlineEntryName(), "VPN(A)");  // not "VPN"
    marks.Unmark();
    // The client's adapter or a LAN names no default entry.
    for (const char* name : {"NTS PPPoE Adapter", "LAN"}) {
        marks.Mark(name);
        EXPECT_EQ(marks.OnlineEntryName(), "") << name;
        marks.Unmark();
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
