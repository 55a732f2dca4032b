// The network seam against the real API under Wine: raw ICMP on loopback,
// IP Helper against what the machine has, Wininet, Wine's RAS (a stub with no
// entries and no connections), the window manager, App Paths in the registry,
// and the ping texts of the string table.
#include <winsock2.h>
#include <ws2tcpip.h>
// (Winsock before <windows.h>, which the platform header pulls in)

#include "shell/platform/win32_network_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/net/network_info.h"
#include "core/net/pinger.h"
#include "res/ping_res.h"
#include "shell/win/text.h"

namespace hourlink {
namespace {

constexpr std::size_t kAnyNumber = std::numeric_limits<std::size_t>::max();
constexpr std::uint32_t kLoopbackType = 24;  // IF_TYPE_SOFTWARE_LOOPBACK

bool IsDottedIpv4(const std::string& text) {
    IN_ADDR address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// The platform starts Winsock, which the tests' own Winsock calls rely on too.
class NetworkPlatformTest : public ::testing::Test {
  protected:
    Win32NetworkPlatform platform_;
    SilentNotifier notifier_;
    NetworkInfo info_{platform_, notifier_, SystemClock::Instance()};
};

// ---- the buffer-growing pattern shared by the RAS and IP Helper calls ----

struct ScriptedCall {
    ScriptedCall(std::vector<DWORD> r, std::vector<DWORD> s)
        : results(std::move(r)), sizesAsked(std::move(s)) {}
    std::vector<DWORD> results;     // one per call
    std::vector<DWORD> sizesAsked;  // the size each call reports back
    std::vector<std::size_t> seenSizes;
    std::vector<DWORD> seenFirstWords;
    std::vector<bool> seenZeroed;  // the rest of the buffer was zero

    DWORD operator()(RecordBuffer& buffer, DWORD& size) {
        const std::size_t call = seenSizes.size();
        seenSizes.push_back(size);
        seenFirstWords.push_back(*buffer.As<DWORD>());
        const auto* bytes = buffer.As<unsigned char>();
        seenZeroed.push_back(std::all_of(bytes + sizeof(DWORD), bytes + size,
                                         [](unsigned char b) { return b == 0; }));
        // Scribble over the buffer as a real call would.
        std::fill(buffer.As<unsigned char>(), buffer.As<unsigned char>() + size, 0xAB);
        size = sizesAsked[call];
        return results[call];
    }
};

constexpr GrowRule kRule{603, 14, 32};

TEST(FillGrowingTest, GrowsOnceToTheReportedSizeWithAFreshZeroedRecord) {
    RecordBuffer buffer;
    ScriptedCall call{{603, 0}, {96, 96}};
    EXPECT_EQ(FillGrowing(buffer, 32, kRule, std::ref(call)), 0u);
    ASSERT_EQ(call.seenSizes, (std::vector<std::size_t>{32, 96}));
    EXPECT_EQ(call.seenFirstWords, (std::vector<DWORD>{32, 32}));
    EXPECT_EQ(call.seenZeroed, (std::vector<bool>{true, true}));
    EXPECT_GE(buffer.Size(), 96u);
}

TEST(FillGrowingTest, EndsWithTheCallsCodeWhenGrowingCannotHelp) {
    {  // another error: no second call
        RecordBuffer buffer;
        ScriptedCall call{{5}, {0}};
        EXPECT_EQ(FillGrowing(buffer, 32, kRule, std::ref(call)), 5u);
        EXPECT_EQ(call.seenSizes.size(), 1u);
    }
    {  // still too small after growing once: no third call
        RecordBuffer buffer;
        ScriptedCall call{{603, 603}, {64, 128}};
        EXPECT_EQ(FillGrowing(buffer, 32, kRule, std::ref(call)), 603u);
        EXPECT_EQ(call.seenSizes.size(), 2u);
    }
    {  // more than the caller has room for
        RecordBuffer buffer;
        ScriptedCall call{{603}, {64}};
        EXPECT_EQ(FillGrowing(buffer, 32, kRule, std::ref(call), 32), 603u);
        EXPECT_EQ(call.seenSizes.size(), 1u);
    }
    {  // "too small" without a larger size would only repeat itself
        RecordBuffer buffer;
        ScriptedCall call{{603}, {16}};
        EXPECT_EQ(FillGrowing(buffer, 32, kRule, std::ref(call)), 603u);
        EXPECT_EQ(call.seenSizes.size(), 1u);
    }
}

// ---- ICMP echo ----

TEST_F(NetworkPlatformTest, PingsLoopbackWithSequenceTimeAndTtl) {
    Pinger pinger(platform_, SystemClock::Instance());
    int maxMessageSize = 0;
    ASSERT_TRUE(pinger.Open(1000, "127.0.0.1", 64, maxMessageSize))
        << win::WideToUtf8(pinger.Message());
    EXPECT_GE(maxMessageSize, 64 + 12);  // the socket's own limit was read

    // Bytes received count the 20-byte IP header: 20 + 12 + 64.
    const std::wregex reply(
        LR"(96 bytes from 127\.0\.0\.1: icmp_seq = (\d+), time: (\d+) ms, ttl: (\d+)\.)");
    int loss = -1;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(pinger.ProbeOnce(loss)) << win::WideToUtf8(pinger.Message());
        std::wsmatch match;
        ASSERT_TRUE(std::regex_match(pinger.Message(), match, reply))
            << win::WideToUtf8(pinger.Message());
        EXPECT_EQ(std::stoi(match[1].str()), i);
        EXPECT_LT(std::stoi(match[2].str()), 1000);
        EXPECT_GT(std::stoi(match[3].str()), 0);
        // Loss is over the requests before this one: none before the first.
        EXPECT_EQ(loss, i == 0 ? -1 : 0);
    }
    EXPECT_EQ(pinger.Received(), 3);
    EXPECT_EQ(pinger.Sent(), 3);
}

TEST_F(NetworkPlatformTest, ASilentPeerTimesOutAfterTheTimeoutGiven) {
    int error = -1;
    auto echo = platform_.OpenIcmpSocket(error);
    ASSERT_TRUE(echo) << error;
    ASSERT_EQ(echo->SetTimeouts(300), 0);
    auto request = MakeEchoRequest(1, 16);
    StampEchoRequest(request, 0, 0);
    const ULONGLONG start = GetTickCount64();
    // An unused address of a documentation network: nobody answers.
    ASSERT_EQ(echo->SendTo(htonl(0xC00002C8), request.data(), request.size()), 0);
    std::uint8_t buffer[256];
    EXPECT_EQ(echo->ReceiveFrom(buffer, sizeof buffer).error, WSAETIMEDOUT);
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 250u);
    EXPECT_LT(elapsed, 3000u);
}

TEST_F(NetworkPlatformTest, ResolvesDottedTextAndNamesButNotNonsense) {
    EXPECT_EQ(platform_.ResolveHost("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(platform_.ResolveHost("192.0.2.200"), htonl(0xC00002C8));
    EXPECT_EQ(platform_.ResolveHost("localhost"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(platform_.ResolveHost(""), std::nullopt);

    Pinger pinger(platform_, SystemClock::Instance());
    int maxMessageSize = 0;
    EXPECT_FALSE(pinger.Open(1000, "no-such-host.invalid", 64, maxMessageSize));
    EXPECT_EQ(pinger.Message(), L"Unable to resolve host address: no-such-host.invalid.");
    EXPECT_FALSE(pinger.IsOpen());
}

// ---- IP Helper ----

// The addresses Winsock lists for this machine, a source independent of IP Helper.
std::vector<std::string> WinsockAddresses() {
    std::vector<std::string> addresses;
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return addresses;
    alignas(SOCKET_ADDRESS_LIST) char buffer[4096];
    DWORD bytes = 0;
    if (WSAIoctl(s, SIO_ADDRESS_LIST_QUERY, nullptr, 0, buffer, sizeof buffer, &bytes, nullptr,
                 nullptr) == 0) {
        const auto* list = reinterpret_cast<const SOCKET_ADDRESS_LIST*>(buffer);
        for (int i = 0; i < list->iAddressCount; ++i) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(list->Address[i].lpSockaddr);
            char text[16] = {};
            inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            addresses.push_back(text);
        }
    }
    closesocket(s);
    return addresses;
}

TEST_F(NetworkPlatformTest, AdaptersAreThisMachinesAndNetworkInfoKeepsTheAddressedOnes) {
    std::vector<AdapterInfo> all;
    ASSERT_EQ(platform_.GetAdapters(all), 0u);
    ASSERT_FALSE(all.empty());
    for (const auto& adapter : all) {
        SCOPED_TRACE(adapter.description);
        EXPECT_FALSE(adapter.description.empty());
        EXPECT_TRUE(IsDottedIpv4(adapter.ipAddress));
        EXPECT_TRUE(adapter.gateway.empty() || IsDottedIpv4(adapter.gateway));
    }

    ASSERT_EQ(info_.RefreshAdapters(), 0u);
    const auto kept = info_.Adapters();
    ASSERT_FALSE(kept.empty());
    const auto winsock = WinsockAddresses();
    for (const auto& adapter : kept) {
        SCOPED_TRACE(adapter.description);
        EXPECT_EQ(adapter.ipAddress.find("0.0.0.0"), std::string::npos);
        EXPECT_NE(std::find(winsock.begin(), winsock.end(), adapter.ipAddress), winsock.end());
    }
    const auto addressed = std::count_if(
        all.begin(), all.end(), [](const AdapterInfo& a) { return a.ipAddress != "0.0.0.0"; });
    EXPECT_EQ(static_cast<std::ptrdiff_t>(kept.size()), addressed);
}

// The IPv4 name servers of the Linux host, which Wine's resolver uses.
std::optional<std::vector<std::string>> HostNameServers() {
    std::ifstream file("Z:\\etc\\resolv.conf");
    if (!file) return std::nullopt;
    std::vector<std::string> servers;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string keyword, address;
        if (words >> keyword >> address && keyword == "nameserver" && IsDottedIpv4(address)) {
            servers.push_back(address);
        }
    }
    return servers;
}

TEST_F(NetworkPlatformTest, NetworkParametersNameTheHostAndItsResolversInOrder) {
    NetworkParameters parameters;
    ASSERT_EQ(platform_.GetNetworkParameters(parameters), 0u);

    char hostName[256] = {};
    ASSERT_EQ(gethostname(hostName, sizeof hostName), 0);
    EXPECT_EQ(parameters.hostName, hostName);
    EXPECT_EQ(info_.GetHostName(), hostName);

    for (const auto& server : parameters.dnsServers) EXPECT_TRUE(IsDottedIpv4(server)) << server;
    if (const auto expected = HostNameServers()) {
        EXPECT_EQ(parameters.dnsServers, *expected);
    }
}

TEST_F(NetworkPlatformTest, InterfaceTableCountsLoopbackTraffic) {
    const auto loopbackIn = [&]() -> std::optional<std::uint32_t> {
        std::vector<InterfaceRow> rows;
        if (platform_.GetInterfaceTable(rows) != 0) return std::nullopt;
        for (const auto& row : rows) {
            if (row.type == kLoopbackType) return row.inOctets;
        }
        return std::nullopt;
    };
    const auto before = loopbackIn();
    ASSERT_TRUE(before) << "no loopback row";

    Pinger pinger(platform_, SystemClock::Instance());
    int maxMessageSize = 0;
    int loss = 0;
    ASSERT_TRUE(pinger.Open(1000, "127.0.0.1", 64, maxMessageSize));
    ASSERT_TRUE(pinger.ProbeOnce(loss));

    const auto after = loopbackIn();
    ASSERT_TRUE(after);
    // The request and the reply, 96 bytes each, both come in on loopback.
    EXPECT_GE(*after - *before, 2u * 96u);

    std::vector<InterfaceRow> rows;
    ASSERT_EQ(platform_.GetInterfaceTable(rows), 0u);
    EXPECT_GE(rows.size(), 2u);  // loopback and at least one more: the table grew
    for (const auto& row : rows) EXPECT_FALSE(row.description.empty());

    // One row read alone, by the identifier the table gave (this platform) and
    // by its index (a platform that never read the table), is the table's row.
    Win32NetworkPlatform fresh;
    for (const auto& row : rows) {
        for (NetworkPlatform* reader : {static_cast<NetworkPlatform*>(&platform_),
                                        static_cast<NetworkPlatform*>(&fresh)}) {
            InterfaceRow alone;
            ASSERT_EQ(reader->GetInterfaceRow(row.index, alone), 0u) << row.index;
            EXPECT_EQ(alone.index, row.index);
            EXPECT_EQ(alone.description, row.description);
            EXPECT_GE(alone.inOctets, row.inOctets);
        }
    }
    InterfaceRow none;
    EXPECT_NE(platform_.GetInterfaceRow(0x7fffffff, none), 0u);
}

// ---- Wininet ----

TEST_F(NetworkPlatformTest, InternetStateComesFromWininetWithTheNameInGbk) {
    const InternetState state = platform_.QueryInternetState();
    ASSERT_EQ(state.availability, InternetState::Availability::Available);

    // The narrow function of the same library, asked directly.
    using NarrowQuery = BOOL(WINAPI*)(LPDWORD, LPSTR, DWORD, DWORD);
    HMODULE wininet = LoadLibraryW(L"Wininet.dll");
    ASSERT_TRUE(wininet);
    const auto narrow = reinterpret_cast<NarrowQuery>(
        reinterpret_cast<void*>(GetProcAddress(wininet, "InternetGetConnectedStateExA")));
    ASSERT_TRUE(narrow);
    char name[256] = {};
    DWORD flags = 0;
    const bool connected = narrow(&flags, name, sizeof name, 0) != FALSE;
    FreeLibrary(wininet);

    EXPECT_EQ(state.connected, connected);
    if (connected) {
        EXPECT_EQ(state.flags, flags);
        EXPECT_EQ(state.connectionName, name);
    }
    EXPECT_EQ(info_.QueryInternetState(), 1);
    EXPECT_EQ(info_.InternetConnected(), connected);
}

// ---- RAS (Wine's is a stub) ----

TEST_F(NetworkPlatformTest, RasLoadsButWineHasNoEntriesOrConnections) {
    EXPECT_TRUE(platform_.RasLoaded());
    EXPECT_TRUE(platform_.HasRasStatistics());

    std::vector<RasEntryProperties> entries;
    EXPECT_EQ(platform_.EnumRasEntries(entries), 0u);
    EXPECT_TRUE(entries.empty());
    for (std::size_t capacity : {std::size_t{0}, std::size_t{1}, kAnyNumber}) {
        std::vector<RasConnection> connections;
        EXPECT_EQ(platform_.EnumRasConnections(connections, capacity), 0u) << capacity;
        EXPECT_TRUE(connections.empty());
    }

    // Without a connection there is no address and there are no statistics.
    std::string address = "unchanged";
    EXPECT_NE(platform_.GetPppClientAddress(0, address), 0u);
    EXPECT_EQ(address, "unchanged");
    RasStatistics statistics;
    EXPECT_NE(platform_.GetRasStatistics(0, statistics), 0u);

    ConnectionStatistics figures;
    EXPECT_EQ(info_.GetConnectionStatistics(figures), 3u);  // no connection handle
    EXPECT_EQ(info_.EnumerateRasConnections(), 0u);
    EXPECT_TRUE(info_.ConnectionNames().empty());
    EXPECT_EQ(info_.RefreshEntries(), 0u);
    EXPECT_TRUE(info_.Entries().empty());
}

TEST_F(NetworkPlatformTest, WineIsOfTheNtFamily) {
    EXPECT_TRUE(platform_.IsNtFamily());
}

// ---- App Paths and files ----

class AppPathTest : public NetworkPlatformTest {
  protected:
    static constexpr const wchar_t* kKey =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\HourlinkTestClient.exe";

    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey); }

    // False when the registry refuses the key (HKLM needs the rights).
    bool Register(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const bool ok = !data || RegSetValueExW(key, L"Path", 0, type,
                                                static_cast<const BYTE*>(data), size) == 0;
        RegCloseKey(key);
        return ok;
    }
    bool RegisterText(DWORD type, const std::wstring& text) {
        return Register(type, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
    }
    std::optional<std::wstring> Lookup() { return platform_.AppPath(L"HourlinkTestClient.exe"); }
};

TEST_F(AppPathTest, ReadsTheRegisteredPathOnlyWhenKeyAndStringValueExist) {
    EXPECT_EQ(Lookup(), std::nullopt);  // no key

    if (!Register(0, nullptr, 0)) GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable";
    EXPECT_EQ(Lookup(), std::nullopt);  // a key without "Path"

    ASSERT_TRUE(RegisterText(REG_SZ, L"C:\\Program Files\\客户端"));
    EXPECT_EQ(Lookup(), L"C:\\Program Files\\客户端");

    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    ASSERT_TRUE(RegisterText(REG_EXPAND_SZ, L"%SystemRoot%\\system32"));
    const auto expanded = Lookup();
    ASSERT_TRUE(expanded);
    EXPECT_EQ(CompareStringOrdinal(expanded->c_str(), -1,
                                   (std::wstring(windows) + L"\\system32").c_str(), -1, TRUE),
              CSTR_EQUAL)
        << win::WideToUtf8(*expanded);

    // A value that is no text is no path; text stored without its NUL is read whole.
    const DWORD number = 7;
    ASSERT_TRUE(Register(REG_DWORD, &number, sizeof number));
    EXPECT_EQ(Lookup(), std::nullopt);
    const wchar_t unterminated[] = {L'C', L':', L'\\', L'x'};
    ASSERT_TRUE(Register(REG_SZ, unterminated, sizeof unterminated));
    EXPECT_EQ(Lookup(), L"C:\\x");
}

TEST_F(NetworkPlatformTest, FileExistsOnlyForFiles) {
    wchar_t directory[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, directory), 0u);
    wchar_t file[MAX_PATH] = {};
    ASSERT_NE(GetTempFileNameW(directory, L"hlk", 0, file), 0u);  // creates it
    EXPECT_TRUE(platform_.FileExists(file));
    EXPECT_FALSE(platform_.FileExists(directory));
    DeleteFileW(file);
    EXPECT_FALSE(platform_.FileExists(file));
    EXPECT_FALSE(platform_.FileExists(L""));
}

// ---- windows ----

class WindowsTest : public NetworkPlatformTest {
  protected:
    HWND TopLevel(const wchar_t* title) {
        HWND window = CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                      nullptr, nullptr, nullptr, nullptr);
        created_.push_back(window);
        return window;
    }
    void TearDown() override {
        for (HWND window : created_) DestroyWindow(window);
    }
    // The position of `window` in the platform's list, or -1.
    static std::ptrdiff_t IndexOf(const std::vector<TopLevelWindow>& list, HWND window) {
        const auto found = std::find_if(list.begin(), list.end(), [&](const TopLevelWindow& w) {
            return w.handle == reinterpret_cast<std::uintptr_t>(window);
        });
        return found == list.end() ? -1 : found - list.begin();
    }
    std::vector<HWND> created_;
};

// "已连接到 ISP" and "测试" in GBK.
constexpr char kConnectedGbk[] = "\xD2\xD1\xC1\xAC\xBD\xD3\xB5\xBD ISP";
constexpr char kTestGbk[] = "Hourlink \xB2\xE2\xCA\xD4";

TEST_F(WindowsTest, TopLevelWindowsComeInZOrderWithGbkTitles) {
    HWND first = TopLevel(L"Hourlink 测试");
    HWND second = TopLevel(L"已连接到 ISP");
    ASSERT_TRUE(first && second);
    SetWindowPos(second, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    auto list = platform_.TopLevelWindows();
    const auto a = IndexOf(list, first);
    const auto b = IndexOf(list, second);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_LT(b, a);
    EXPECT_EQ(list[a].title, kTestGbk);
    EXPECT_EQ(list[b].title, kConnectedGbk);

    SetWindowPos(first, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    list = platform_.TopLevelWindows();
    EXPECT_LT(IndexOf(list, first), IndexOf(list, second));

    // The PPPoE client's connected title is found among them.
    EXPECT_TRUE(info_.FindPppoeClientWindow());
}

TEST_F(WindowsTest, ChildWindowsGiveTheirTextsInOrder) {
    HWND parent = TopLevel(L"client");
    ASSERT_TRUE(parent);
    for (const wchar_t* text : {L"断开", L"Connect"}) {
        ASSERT_TRUE(CreateWindowExW(0, L"BUTTON", text, WS_CHILD | BS_PUSHBUTTON, 0, 0, 80, 20,
                                    parent, nullptr, nullptr, nullptr));
    }
    const auto children = platform_.ChildWindows(reinterpret_cast<std::uintptr_t>(parent));
    ASSERT_EQ(children.size(), 2u);
    EXPECT_EQ(children[0].title, "\xB6\xCF\xBF\xAA");  // "断开" in GBK
    EXPECT_EQ(children[1].title, "Connect");

    EXPECT_TRUE(platform_.ChildWindows(0).empty());
}

TEST_F(WindowsTest, TitlesAreReadWhileTheWindowsThreadIsBusy) {
    // The watcher thread reads titles while the UI thread may be waiting for it;
    // asking a window of this process for its text must not need that thread.
    HWND window = TopLevel(L"已连接到 ISP");
    ASSERT_TRUE(window);
    std::string title;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread reader([&] {
        for (const auto& w : platform_.TopLevelWindows()) {
            if (w.handle == reinterpret_cast<std::uintptr_t>(window)) title = w.title;
        }
        SetEvent(done);
    });
    // This thread does not pump messages while it waits.
    const DWORD waited = WaitForSingleObject(done, 10000);
    if (waited != WAIT_OBJECT_0) {
        // Let the reader finish before failing, so the test program ends cleanly.
        MSG msg;
        while (WaitForSingleObject(done, 0) != WAIT_OBJECT_0) {
            if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
    }
    reader.join();
    CloseHandle(done);
    EXPECT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(title, kConnectedGbk);
}

// ---- the ping texts of the string table ----

TEST(PingTextsTest, StringTableHoldsThePingersFormats) {
    for (int id : {IDS_PING_REPLY, IDS_PING_SOCKET_FAILED, IDS_PING_TIMEOUT_OPTION_FAILED,
                   IDS_PING_RESOLVE_FAILED, IDS_PING_TOO_FEW_BYTES, IDS_PING_NON_ECHO,
                   IDS_PING_OTHER_PROCESS, IDS_PING_TIMED_OUT, IDS_PING_SEND_FAILED,
                   IDS_PING_RECEIVE_FAILED}) {
        SCOPED_TRACE(id);
        ASSERT_NE(pinger_text::Format(id), nullptr);
        // The program formats with swprintf, which takes wide strings as %ls.
        std::wstring expected = pinger_text::Format(id);
        for (std::size_t at; (at = expected.find(L"%ls")) != std::wstring::npos;) {
            expected.replace(at, 3, L"%s");
        }
        EXPECT_EQ(win::LoadResourceString(static_cast<UINT>(id)), expected);
    }
}

}  // namespace
}  // namespace hourlink
