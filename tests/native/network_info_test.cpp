#include "core/net/network_info.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "core/net/icmp.h"

#include "fake_network.h"
#include "test_support.h"

namespace hourlink {
namespace {

using test::FakeNetwork;
using test::RecordingNotifier;

class NetworkInfoTest : public ::testing::Test {
  protected:
    FakeNetwork net;
    RecordingNotifier notifier;
    ManualClock clock{1'700'000'000};
    NetworkInfo info{net, notifier, clock};
};

TEST(ConnectionClassification, DependsOnDeviceTypeAndSystemFamily) {
    for (bool nt : {true, false}) {
        SCOPED_TRACE(nt ? "NT family" : "9x family");
        EXPECT_EQ(Classify("modem", "Standard 56K", nt), ConnectionType::Modem);
        EXPECT_EQ(Classify("isdn", "ISDN channel", nt), ConnectionType::Broadband);
        EXPECT_EQ(Classify("PPPoE", "WAN Miniport (PPPOE)", nt), ConnectionType::Broadband);
        EXPECT_EQ(Classify("pppoe", "", nt), ConnectionType::Broadband);
    }
    EXPECT_EQ(Classify("vpn", "WAN Miniport (PPTP)", true), ConnectionType::Vpn);
    EXPECT_EQ(Classify("vpn", "WAN Miniport (PPTP)", false), ConnectionType::Broadband);
    EXPECT_EQ(Classify("serial", "RASPPPoE POET Adapter", true), ConnectionType::Broadband);
    EXPECT_EQ(Classify("irda", "Infrared", true), ConnectionType::Irda);
    EXPECT_EQ(Classify("parallel", "LPT1", true), ConnectionType::Parallel);
    EXPECT_EQ(Classify("serial", "COM1", true), ConnectionType::Other);
    // On the 9x family everything but a modem is broadband.
    EXPECT_EQ(Classify("irda", "Infrared", false), ConnectionType::Broadband);
    EXPECT_EQ(Classify("serial", "COM1", false), ConnectionType::Broadband);
    // Modem is tested before anything else: "ISDN modem" is a modem.
    EXPECT_EQ(Classify("ISDN modem", "", true), ConnectionType::Modem);
}

TEST(ConnectionClassification, UpperCasingLeavesChineseTextAlone) {
    // 0xC1 0x61 is one GBK character whose second byte is the letter 'a'.
    EXPECT_EQ(UpperGbk("ab\xC1\x61z"), "AB\xC1\x61Z");
    EXPECT_EQ(UpperGbk("\xC1"), "\xC1");  // a lone lead byte at the end
}

TEST(PrivateAddresses, RecogniseLoopbackLinkLocalAndPrivateRanges) {
    for (const char* a :
         {"10.1.2.3", "127.0.0.1", "169.254.3.4", "172.16.0.1", "172.31.255.255", "192.168.1.1"}) {
        EXPECT_TRUE(IsPrivateAddress(a)) << a;
    }
    for (const char* a : {"100.1.2.3", "169.253.0.1", "172.15.0.1", "172.32.0.1", "192.169.0.1",
                          "8.8.8.8", "", "garbage", "1000.168.0.1", "192.1680.1.1"}) {
        EXPECT_FALSE(IsPrivateAddress(a)) << a;
    }
}

TEST_F(NetworkInfoTest, AdaptersWithoutAnAddressAreNeverUsed) {
    net.adapters = {{23, "WAN (PPP/SLIP) Interface", "0.0.0.0", 0, ""},
                    {6, "NTS PPPoE Adapter", "0.0.0.0", 0, ""},
                    {6, "Intel Ethernet", "192.168.0.5", 0, "192.168.0.1"}};
    EXPECT_EQ(info.RefreshAdapters(), 0u);
    ASSERT_EQ(info.Adapters().size(), 1u);
    EXPECT_EQ(info.Adapters()[0].description, "Intel Ethernet");
    EXPECT_FALSE(info.FindPppAdapterIp());
    EXPECT_FALSE(info.FindPppoeClientLink());

    net.adapters.push_back({23, "WAN (PPP/SLIP) Interface", "61.1.2.3", 0, ""});
    EXPECT_TRUE(info.FindPppAdapterIp());
    EXPECT_EQ(info.ClientIp(), "61.1.2.3");
    // Recognised by its description too, whatever the interface type says.
    net.adapters = {{6, "Microsoft ppp adapter", "61.9.9.9", 0, ""}};
    EXPECT_TRUE(info.FindPppAdapterIp());
    EXPECT_EQ(info.ClientIp(), "61.9.9.9");
}

TEST_F(NetworkInfoTest, PppoeClientLinkNeedsAPublicAddressOrAConnectedWindow) {
    net.adapters = {{6, "Intel Ethernet", "192.168.0.5", 0, ""},
                    {6, "nts pppoe adapter", "192.168.0.9", 0, ""}};
    EXPECT_FALSE(info.FindPppoeClientLink());  // a private address is not the link

    net.windows = {{1, "Untitled - Notepad"}, {2, "EnterNet - Connected to ISP"}};
    EXPECT_TRUE(info.FindPppoeClientLink());
    EXPECT_EQ(info.PppoeAdapterIndex(), -1);
    net.windows = {{3, "\xC1\xAC\xBD\xD3\xB5\xBD ISP"}};  // "连接到 ISP"
    EXPECT_TRUE(info.FindPppoeClientWindow());

    net.windows.clear();
    net.adapters[1].ipAddress = "218.5.6.7";
    EXPECT_TRUE(info.FindPppoeClientLink());
    EXPECT_EQ(info.PppoeAdapterIndex(), 1);
    EXPECT_EQ(info.PppoeAdapterIp(), "218.5.6.7");
}

TEST_F(NetworkInfoTest, RasConnectionsGiveNamesAndTheClientAddress) {
    net.connections = {{0x10, "ADSL"}};
    net.pppAddresses[0x10] = {0, "58.1.2.3"};
    EXPECT_EQ(info.EnumerateRasConnections(), 0u);
    EXPECT_EQ(info.ConnectionNames(), std::vector<std::string>{"ADSL"});
    EXPECT_EQ(info.ClientIp(), "58.1.2.3");
    EXPECT_EQ(info.LastRasConnection(), 0x10u);

    // The projection fails: the name is listed, the address comes from the PPP
    // adapter, and the result says what happened.
    net.pppAddresses[0x10] = {731, ""};
    net.adapters = {{23, "PPP", "58.7.7.7", 0, ""}};
    EXPECT_EQ(info.EnumerateRasConnections(), 2u);
    EXPECT_EQ(info.ConnectionNames(), std::vector<std::string>{"ADSL"});
    EXPECT_EQ(info.ClientIp(), "58.7.7.7");

    // ...also when it failed for want of room even after the buffer grew.
    net.pppAddresses[0x10] = {kErrorBufferTooSmall, ""};
    net.adapters = {{23, "PPP", "58.7.7.8", 0, ""}};
    EXPECT_EQ(info.EnumerateRasConnections(), 2u);
    EXPECT_EQ(info.ClientIp(), "58.7.7.8");

    net.connections.clear();
    net.connectionsResult = 632;
    EXPECT_EQ(info.EnumerateRasConnections(), 632u);
    EXPECT_TRUE(info.ConnectionNames().empty());
}

TEST_F(NetworkInfoTest, InternetStateIsNamedByTheKindOfConnectionAmongTheFlags) {
    net.internet = {InternetState::Availability::Available, true, 2, "LAN Connection"};
    EXPECT_EQ(info.QueryInternetState(), 1);
    EXPECT_TRUE(info.InternetConnected());
    EXPECT_EQ(info.InternetConnectionName(), "LAN Connection");
    EXPECT_EQ(info.InternetStateText(), "INTERNET_CONNECTION_LAN");

    // Windows gives combined flags: a LAN with RAS installed, a modem behind
    // a proxy, RAS installed alone, nothing known.
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0x12, "INTERNET_CONNECTION_LAN"},        {0x15, "INTERNET_CONNECTION_MODEM"},
        {0x30, "INTERNET_CONNECTION_OFFLINE"},    {0x10, "INTERNET_RAS_INSTALLED"},
        {0x40, ""},
    };
    for (const auto& [flags, text] : cases) {
        net.internet.flags = flags;
        EXPECT_EQ(info.QueryInternetState(), 1);
        EXPECT_EQ(info.InternetStateText(), text) << flags;
    }

    net.internet.connected = false;
    EXPECT_EQ(info.QueryInternetState(), 1);
    EXPECT_FALSE(info.InternetConnected());
    EXPECT_EQ(info.InternetConnectionName(), "");

    net.internet.availability = InternetState::Availability::LibraryMissing;
    EXPECT_EQ(info.QueryInternetState(), 0);
    net.internet.availability = InternetState::Availability::FunctionMissing;
    EXPECT_EQ(info.QueryInternetState(), 0);
    EXPECT_EQ(notifier.messages,
              (std::vector<std::wstring>{L"LoadLibrary(Wininet.dll)",
                                         L"GetProcAddress()  GetInternetConnectedStateEx"}));
}

TEST_F(NetworkInfoTest, LanProbeAsksTheDnsServersInOrder) {
    net.SetUpLan("192.168.1.20", "192.168.1.1");
    net.parameters.dnsServers = {"10.0.0.53", "192.168.1.1", "10.0.0.54"};
    info.QueryInternetState();
    info.RefreshAdapters();
    EXPECT_TRUE(info.ProbeLan());
    EXPECT_EQ(info.DnsServers(), net.parameters.dnsServers);
    // The silent first server was asked, the answering second ended the search.
    ASSERT_EQ(net.echoTargets.size(), 2u);
    EXPECT_EQ(net.echoTargets[1], test::Ipv4("192.168.1.1"));
    EXPECT_EQ(info.ClientIp(), "192.168.1.20");
    EXPECT_EQ(info.ConnectionNames(), std::vector<std::string>{"LAN Connection"});

    net.answeringHosts.clear();
    EXPECT_FALSE(info.ProbeLan());
    net.parametersResult = 232;
    EXPECT_FALSE(info.ProbeLan());
}

TEST_F(NetworkInfoTest, OtherTrafficArrivingFirstDoesNotSilenceAServer) {
    net.SetUpLan("192.168.1.20", "192.168.1.1");
    // Another program's echo reply and a torn datagram come before the answer.
    std::vector<std::uint8_t> foreign(20 + kIcmpHeaderSize + 64, 0);
    foreign[0] = 0x45;
    foreign[20] = kIcmpEchoReply;
    foreign[24] = 0x99;  // somebody else's identifier
    net.strayDatagrams = {foreign, {0x45, 0, 0}};
    info.QueryInternetState();
    EXPECT_TRUE(info.ProbeLan());
    EXPECT_EQ(net.echoTargets.size(), 1u);
}

TEST_F(NetworkInfoTest, QueriesDoNotWaitForAProbeInProgress) {
    // The LAN probe waits on a silent DNS server on the watcher's thread...
    net.SetUpLan("192.168.1.20", "192.168.1.1");
    net.answeringHosts.clear();
    net.connections = {{0x20, "Dial"}};
    net.statistics[0x20] = {1, 2, 3, 4000};
    net.entries = {{"Home", "modem", "56K", "16300"}};
    std::promise<void> waiting, release;
    std::shared_future<void> released = release.get_future().share();
    net.beforeReceive = [&waiting, released, first = true]() mutable {
        if (first) waiting.set_value();
        first = false;
        released.wait();
    };
    std::thread watcher([this] { info.ProbeLan(); });
    waiting.get_future().wait();

    // ...while the UI thread asks what it asks every second, and more.
    auto queries = std::async(std::launch::async, [this] {
        ConnectionStatistics s;
        info.GetConnectionStatistics(s);
        info.RefreshEntries();
        return info.FindPhoneNumber("Home") + info.ClientIp() +
               std::to_string(info.ConnectionNames().size() + info.Adapters().size());
    });
    const bool prompt = queries.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    release.set_value();
    watcher.join();
    EXPECT_TRUE(prompt) << "a query waited for the probe";
    EXPECT_EQ(queries.get(), "163000");
}

TEST_F(NetworkInfoTest, ConnectionStatisticsNeedExactlyOneConnection) {
    ConnectionStatistics s;
    EXPECT_EQ(info.GetConnectionStatistics(s), 3u);  // nothing up

    net.connections = {{0x20, "Dial"}};
    // Up for two days, three hours and five seconds: nothing is lost.
    net.statistics[0x20] = {1000, 2000, 56000, (2 * 86400 + 3 * 3600 + 5) * 1000 + 999};
    EXPECT_EQ(info.GetConnectionStatistics(s), 0u);
    EXPECT_EQ(s.received, 1000u);
    EXPECT_EQ(s.sent, 2000u);
    EXPECT_EQ(s.speed, 56000u);
    EXPECT_EQ(s.duration, 2u * 86400 + 3 * 3600 + 5);

    net.connections.push_back({0x21, "VPN"});
    EXPECT_EQ(info.GetConnectionStatistics(s), 4u);
    net.connections.pop_back();
    net.statisticsResult = 5;
    EXPECT_EQ(info.GetConnectionStatistics(s), 2u);
    net.hasStatistics = false;
    EXPECT_EQ(info.GetConnectionStatistics(s), 1u);
    EXPECT_EQ(notifier.messages,
              std::vector<std::wstring>{L"GetProcAddress()  RasGetConnectionStatistics"});
}

TEST_F(NetworkInfoTest, EntriesPhoneNumbersHostNameAndPppoeClient) {
    net.entries = {{"Home", "modem", "56K", "16300"}, {"Office VPN", "vpn", "PPTP", "vpn.example"}};
    EXPECT_EQ(info.RefreshEntries(), 0u);
    ASSERT_EQ(info.Entries().size(), 2u);
    EXPECT_EQ(info.Entries()[0].type, ConnectionType::Modem);
    EXPECT_EQ(info.Entries()[1].type, ConnectionType::Vpn);
    EXPECT_EQ(info.FindPhoneNumber("Home"), "16300");
    EXPECT_EQ(info.FindPhoneNumber("home"), "");  // names compare byte for byte
    EXPECT_EQ(info.GetHostName(), "test-host");

    EXPECT_FALSE(info.IsPppoeClientInstalled());
    net.appPaths[L"EnterNet.exe"] = L"C:\\Program Files\\EnterNet";
    EXPECT_FALSE(info.IsPppoeClientInstalled());  // registered, but the file is gone
    net.files.insert(L"C:\\Program Files\\EnterNet\\EnterNet.exe");
    EXPECT_TRUE(info.IsPppoeClientInstalled());
}

}  // namespace
}  // namespace hourlink
