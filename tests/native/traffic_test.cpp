// The traffic figures of a session: where the counts come from, the rates and
// the idle counter behind the idle hang-up.
#include "core/accounting/traffic.h"

#include <gtest/gtest.h>

#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fake_network.h"
#include "test_support.h"

namespace hourlink {
namespace {

using test::FakeNetwork;

class TrafficTest : public ::testing::Test {
  protected:
    // One Ethernet interface whose counters the test moves.
    void Lan(std::uint32_t received, std::uint32_t sent) {
        net.interfaceRows = {{6, "Realtek PCIe GbE", received, sent}, {24, "Loopback", 999, 999}};
    }
    TrafficTick Tick(RasHandle ras = 0) { return meter.Sample(true, ras, L"LAN"); }

    FakeNetwork net;
    test::RecordingNotifier notifier;
    ManualClock clock{1'700'000'000};
    NetworkInfo info{net, notifier, clock};
    MemorySettingsStore settings;
    TrafficMeter meter{info, settings};
};

TEST_F(TrafficTest, AQuietSecondIsOneWithFewerThanAHundredBytesEachWay) {
    Lan(10000, 500);
    EXPECT_EQ(Tick().receivedRate, L"");  // the first reading only sets the base
    Lan(10099, 560);
    TrafficTick t = Tick();
    EXPECT_EQ(t.idleSeconds, 1);
    EXPECT_EQ(t.receivedRate, L"0.10");
    EXPECT_EQ(t.sentRate, L"0.06");
    Lan(10199, 560);  // 100 bytes received
    EXPECT_EQ(Tick().idleSeconds, 0);
    // A counter that goes back (an interface reset) is quiet, at rate 0.
    Lan(50, 560);
    t = Tick();
    EXPECT_EQ(t.idleSeconds, 1);
    EXPECT_EQ(t.receivedRate, L"0.00");
    // A 32-bit counter that wraps round is traffic.
    Lan(0xFFFFFF00u, 560);
    Tick();
    Lan(0x00000100u, 560);
    t = Tick();
    EXPECT_EQ(t.idleSeconds, 0);
    EXPECT_EQ(t.receivedRate, L"0.51");
}

TEST_F(TrafficTest, IdleTextFromFourSecondsAndTheHangUpAfterTheChosenMinutes) {
    WriteSetting(settings, settings::kIdleFlag, 1);
    WriteSetting(settings, settings::kIdleMinutes, 1);
    Lan(1000, 1000);
    Tick();
    for (int second = 1; second <= 60; ++second) {
        const TrafficTick t = Tick();
        ASSERT_EQ(t.idleSeconds, second);
        if (second <= 3) {
            EXPECT_EQ(t.messagePane.find(L"空闲"), std::wstring::npos);
        } else if (second == 4) {
            EXPECT_EQ(t.messagePane, L"网络已经空闲4秒");
        }
        EXPECT_EQ(t.hangUp, second >= 60) << second;
    }
    // Without the option, never.
    WriteSetting(settings, settings::kIdleFlag, 0);
    EXPECT_FALSE(Tick().hangUp);
    // Minutes outside 1 to 59 are taken as the nearer bound.
    WriteSetting(settings, settings::kIdleFlag, 1);
    WriteSetting(settings, settings::kIdleMinutes, 500);
    meter.Reset();
    Tick();
    for (int second = 1; second < 59 * 60; ++second) ASSERT_FALSE(Tick().hangUp);
    EXPECT_TRUE(Tick().hangUp);
}

TEST_F(TrafficTest, RasStatisticsGiveThePanesAndAFailedReadIsNoSample) {
    net.connections = {{0x20, "ADSL"}};
    net.statistics[0x20] = {3'000'000'000u, 4096, 115200, 1000};
    TrafficTick t = Tick(0x20);
    EXPECT_EQ(t.receivedPane, L"收到3000000000");  // beyond 2 GiB, never negative
    EXPECT_EQ(t.sentPane, L"发送4096");
    EXPECT_EQ(t.speedPane, L"115kbps");
    EXPECT_EQ(meter.Figures(), (TrafficFigures{3'000'000'000u, 4096, 115200}));

    WriteSetting(settings, settings::kIdleFlag, 1);
    net.statisticsResult = 5;
    for (int i = 0; i < 120; ++i) {
        t = Tick(0x20);
        ASSERT_FALSE(t.sampled);
        ASSERT_FALSE(t.hangUp);  // a busy link is not dropped for want of readings
    }
    EXPECT_EQ(t.logText, L"调用ConnectionStatistics函数失败\r\n");
    EXPECT_EQ(meter.IdleSeconds(), 0);
}

TEST_F(TrafficTest, RasFiguresAreTheConnectionsOwnTotalsOverSamples) {
    net.connections = {{0x20, "ADSL"}};
    net.statistics[0x20] = {1000, 500, 115200, 0};
    Tick(0x20);
    net.statistics[0x20] = {3000, 800, 115200, 0};
    const TrafficTick t = Tick(0x20);
    // RAS counts from the connection's start: its figures are taken as they
    // are, not summed from the steps.
    EXPECT_EQ(meter.Figures(), (TrafficFigures{3000, 800, 115200}));
    EXPECT_EQ(t.receivedPane, L"收到3000");
    EXPECT_EQ(t.receivedRate, L"2.00");
    EXPECT_EQ(t.sentRate, L"0.30");
}

TEST_F(TrafficTest, TheDevicesRowsCountWifiIncludedNotTheirFilterLayersOrVirtualAdapters) {
    // As Windows lists a laptop: loopback, the cable, three filter layers on
    // it, a virtual switch, and Wi-Fi.
    net.interfaceRows = {
        {24, "Loopback Pseudo-Interface 1", 5, 5},
        {6, "Intel Ethernet", 1000, 100},
        {6, "Intel Ethernet-WFP Native MAC Layer LightWeight Filter-0000", 1000, 100, true},
        {6, "Intel Ethernet-QoS Packet Scheduler-0000", 1000, 100, true},
        {71, "Wi-Fi-Native WiFi Filter Driver-0000", 3000, 300, true},
        {6, "Hyper-V Virtual Ethernet Adapter", 1000, 100, false, false},
        {71, "Intel Wi-Fi 6 AX201", 3000, 300}};
    Tick();
    for (InterfaceRow& row : net.interfaceRows) {
        row.inOctets += row.type == 71 ? 40'000 : 2'000;
        row.outOctets += 1'000;
    }
    const TrafficTick t = Tick();
    // The cable's 2,000 and Wi-Fi's 40,000, once each.
    EXPECT_EQ(meter.Figures(), (TrafficFigures{42'000, 2'000, 0}));
    EXPECT_EQ(t.receivedRate, L"42.00");
    EXPECT_EQ(t.idleSeconds, 0);
}

TEST_F(TrafficTest, RasTotalsPastFourGigabytesAreAddedUpAndCappedNotWrapped) {
    net.connections = {{0x20, "ADSL"}};
    net.statistics[0x20] = {4'000'000'000u, 100, 0, 0};
    Tick(0x20);
    // 4.0 GB, 4.2 GB, then 0.1 GB more: the 32-bit counter wraps round.
    net.statistics[0x20] = {4'200'000'000u, 100, 0, 0};
    Tick(0x20);
    EXPECT_EQ(meter.Figures().received, 4'200'000'000u);
    net.statistics[0x20] = {5'032'704u, 200, 0, 0};
    Tick(0x20);
    EXPECT_EQ(meter.Figures().received, 0xFFFFFFFFu);
    EXPECT_EQ(meter.Figures().sent, 200u);
    // A new session counts from nothing.
    meter.Reset();
    net.statistics[0x20] = {700, 70, 0, 0};
    Tick(0x20);
    EXPECT_EQ(meter.Figures().received, 700u);
}

TEST_F(TrafficTest, WithTwoRasConnectionsUpTheSessionsOwnIsRead) {
    net.connections = {{0x20, "ADSL"}, {0x21, "VPN"}};
    net.statistics[0x20] = {1000, 500, 115200, 0};
    net.statistics[0x21] = {77, 77, 9600, 0};
    const TrafficTick t = Tick(0x20);
    EXPECT_TRUE(t.sampled);
    EXPECT_EQ(t.logText, L"");
    EXPECT_EQ(meter.Figures(), (TrafficFigures{1000, 500, 115200}));
}

TEST_F(TrafficTest, InterfaceRowsChosenByTheFirstRowAndSessionTotalsKept) {
    // A PPP first row counts alone; so does an Ethernet one for the PPPoE client.
    net.interfaceRows = {{23, "WAN (PPP/SLIP) Interface", 5000, 700}, {6, "Eth", 1, 1}};
    meter.Sample(true, 0, L"LAN");
    net.interfaceRows[0].inOctets += 300;
    meter.Sample(true, 0, L"LAN");
    EXPECT_EQ(meter.Figures().received, 300u);
    meter.Reset();
    net.interfaceRows = {{6, "Eth A", 5000, 700}, {6, "Eth B", 1000, 1000}};
    meter.Sample(true, 0, L"nts pppoe adapter");
    net.interfaceRows[1].inOctets += 999;  // not the first row
    meter.Sample(true, 0, L"nts pppoe adapter");
    EXPECT_EQ(meter.Figures().received, 0u);

    // Otherwise every Ethernet row is summed; a LAN session's figures are
    // what crossed since it began, shown without a speed.
    meter.Reset();
    Lan(7000, 7000);
    net.interfaceRows.push_back({6, "Eth B", 1000, 1000});
    Tick();
    net.interfaceRows[0].inOctets += 2000;
    net.interfaceRows[2].outOctets += 500;
    const TrafficTick t = Tick();
    EXPECT_EQ(meter.Figures(), (TrafficFigures{2000, 500, 0}));
    EXPECT_EQ(t.receivedPane, L"收到2000");
    EXPECT_EQ(t.speedPane, L"");
}

// The table is read once per session; an interface that goes away makes the
// next tick choose again, its new sum a base and not a burst of traffic.
TEST_F(TrafficTest, LaterTicksReadTheChosenRowsAndAVanishedOneIsChosenAgain) {
    Lan(7000, 7000);
    Tick();
    for (int i = 0; i < 3; ++i) {
        net.interfaceRows[0].inOctets += 100;
        Tick();
    }
    EXPECT_EQ(net.interfaceTableReads, 1);
    EXPECT_EQ(meter.Figures().received, 300u);

    net.interfaceRows = {{6, "USB LAN", 90'000, 90'000, false, true, 9}};
    EXPECT_TRUE(Tick().sampled);
    EXPECT_EQ(net.interfaceTableReads, 2);
    EXPECT_EQ(meter.Figures().received, 300u);
    net.interfaceRows[0].inOctets += 50;
    Tick();
    EXPECT_EQ(meter.Figures().received, 350u);
}

}  // namespace
}  // namespace hourlink
