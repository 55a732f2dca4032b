#include "shell/platform/win32_network_platform.h"

// Winsock 2 before the headers that would otherwise bring in the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <icmpapi.h>
#include <winternl.h>
#include <ras.h>

#include <algorithm>
#include <climits>
#include <cwchar>

#include "core/net/icmp.h"
#include "shell/win/text.h"

namespace hourlink {

namespace {

// What a RAS call ends with when the library or the function is missing.
constexpr DWORD kLibraryMissing = ERROR_MOD_NOT_FOUND;
constexpr DWORD kFunctionMissing = ERROR_PROC_NOT_FOUND;

constexpr GrowRule RasRule(DWORD recordSize) {
    return {kErrorBufferTooSmall, kRasNoMemory, recordSize};
}
constexpr GrowRule kAdapterRule{ERROR_BUFFER_OVERFLOW, kIpHelperNoMemory, 0};
// GetIfTable asks for more room with a code of its own.

// A function of a loaded module, or null.
template <class Function>
Function Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The text of a fixed-size character array, which need not be NUL-terminated.
template <class Char, std::size_t N>
std::basic_string_view<Char> FixedText(const Char (&text)[N]) {
    return {text, static_cast<std::size_t>(std::find(text, text + N, Char{}) - text)};
}

std::string GbkOf(std::wstring_view text) {
    return win::WideToGbk(text);
}

// Text in the system's ANSI code page, as IP Helper gives it, to GBK.
std::string GbkOfAnsi(std::string_view text) {
    return win::WideToGbk(win::ToWide(text, CP_ACP));
}

// The title of a window read without sending it a message, so that a window of
// this process whose thread is busy cannot hold the caller up.
std::string WindowTitle(HWND window) {
    wchar_t title[1024];
    const int length = InternalGetWindowText(window, title, static_cast<int>(std::size(title)));
    return length > 0 ? GbkOf({title, static_cast<std::size_t>(length)}) : std::string();
}

// Top-level windows (parent null) or the direct children of `parent`, in
// z-order. The system takes its own snapshot, so windows that come, go or
// change places meanwhile cannot make the walk go round.
std::vector<TopLevelWindow> WindowsOf(HWND parent) {
    struct Walk {
        HWND parent;
        std::vector<TopLevelWindow> windows;
    } walk{parent, {}};
    const WNDENUMPROC visit = [](HWND window, LPARAM data) -> BOOL {
        auto& w = *reinterpret_cast<Walk*>(data);
        // EnumChildWindows also gives grandchildren: only direct children count.
        if (w.parent && GetAncestor(window, GA_PARENT) != w.parent) return TRUE;
        w.windows.push_back({reinterpret_cast<std::uintptr_t>(window), WindowTitle(window)});
        return TRUE;
    };
    if (parent) {
        EnumChildWindows(parent, visit, reinterpret_cast<LPARAM>(&walk));
    } else {
        EnumWindows(visit, reinterpret_cast<LPARAM>(&walk));
    }
    return std::move(walk.windows);
}

std::string DottedText(const IP_ADDR_STRING& address) {
    return std::string(FixedText(address.IpAddress.String));
}

}  // namespace

// Winsock, for looking up host names: started with the platform and cleaned up
// with it.
class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data;
        error_ = WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockSession() {
        if (error_ == 0) WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    int Error() const { return error_; }

  private:
    int error_ = 0;
};

namespace {

// Echo requests through the IP helper's echo service, which any user may call:
// a raw ICMP socket needs administrator rights since Vista. The service sends
// the ICMP header itself and waits for the answer within the call, so SendTo
// does the whole exchange and ReceiveFrom hands over its outcome, rebuilt as
// the datagram a raw socket would have received.
class Win32IcmpEcho final : public IcmpSocket {
  public:
    explicit Win32IcmpEcho(HANDLE handle) : handle_(handle) {}
    ~Win32IcmpEcho() override { IcmpCloseHandle(handle_); }
    Win32IcmpEcho(const Win32IcmpEcho&) = delete;
    Win32IcmpEcho& operator=(const Win32IcmpEcho&) = delete;

    int SetTimeouts(int milliseconds) override {
        // The service has no "wait for ever"; a minute stands in for it.
        timeoutMs_ = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 60000;
        return 0;
    }

    // The service takes at most 65,500 bytes of data after the 8-byte header.
    std::optional<int> MaxMessageSize() override { return kLargestData + 8; }

    int SendTo(std::uint32_t address, const std::uint8_t* data, std::size_t size) override {
        pending_.reset();
        if (size < 8 || size - 8 > kLargestData) return WSAEMSGSIZE;
        const std::span<const std::uint8_t> request(data, size);
        const auto requestData = request.subspan(8);
        // Room for the reply structure, the echoed data, an ICMP error's 8
        // bytes and the status block the call keeps there.
        reply_.assign(sizeof(ICMP_ECHO_REPLY) + requestData.size() + 8 + sizeof(IO_STATUS_BLOCK) +
                          16,
                      0);
        const DWORD replies = IcmpSendEcho2(
            handle_, nullptr, nullptr, nullptr, address,
            const_cast<std::uint8_t*>(requestData.data()), static_cast<WORD>(requestData.size()),
            nullptr, reply_.data(), static_cast<DWORD>(reply_.size()), timeoutMs_);
        HelperEcho echo;
        if (replies == 0) {
            echo.status = GetLastError();
        } else {
            const auto& r = *reinterpret_cast<const ICMP_ECHO_REPLY*>(reply_.data());
            echo.status = r.Status;
            echo.from = r.Address;
            echo.ttl = r.Options.Ttl;
            // The echoed data lies inside the reply buffer; anything claiming
            // more than the buffer holds is cut to it.
            const auto* begin = static_cast<const std::uint8_t*>(r.Data);
            const auto* bufferEnd = reply_.data() + reply_.size();
            if (begin >= reply_.data() && begin <= bufferEnd) {
                echo.data = {begin, std::min<std::size_t>(r.DataSize, bufferEnd - begin)};
            }
        }
        pending_ = HelperEchoDatagram(request, echo);
        pendingFrom_ = echo.from;
        return 0;
    }

    Received ReceiveFrom(std::uint8_t* buffer, std::size_t capacity) override {
        if (!pending_) return {WSAETIMEDOUT, 0, 0};  // nothing sent: nothing comes
        const HelperOutcome outcome = std::move(*pending_);
        pending_.reset();
        if (outcome.error != 0) return {outcome.error, 0, 0};
        const std::size_t size = std::min(capacity, outcome.datagram.size());
        std::copy_n(outcome.datagram.begin(), size, buffer);
        return {0, size, pendingFrom_};
    }

  private:
    static constexpr std::size_t kLargestData = 65500;
    HANDLE handle_;
    DWORD timeoutMs_ = 60000;
    std::vector<std::uint8_t> reply_;
    std::optional<HelperOutcome> pending_;
    std::uint32_t pendingFrom_ = 0;
};

}  // namespace

struct Win32NetworkPlatform::RasFunctions {
    decltype(&RasEnumEntriesW) enumEntries = nullptr;
    decltype(&RasGetEntryPropertiesW) getEntryProperties = nullptr;
    decltype(&RasEnumConnectionsW) enumConnections = nullptr;
    decltype(&RasGetProjectionInfoW) getProjectionInfo = nullptr;
    decltype(&RasGetConnectionStatistics) getConnectionStatistics = nullptr;
};

Win32NetworkPlatform::Win32NetworkPlatform()
    : rasLibrary_(LoadLibraryW(L"RASAPI32.DLL")),
      ras_(std::make_unique<RasFunctions>()),
      winsock_(std::make_shared<WinsockSession>()) {
    if (!rasLibrary_) return;
    ras_->enumEntries = Lookup<decltype(&RasEnumEntriesW)>(rasLibrary_, "RasEnumEntriesW");
    ras_->getEntryProperties =
        Lookup<decltype(&RasGetEntryPropertiesW)>(rasLibrary_, "RasGetEntryPropertiesW");
    ras_->enumConnections =
        Lookup<decltype(&RasEnumConnectionsW)>(rasLibrary_, "RasEnumConnectionsW");
    ras_->getProjectionInfo =
        Lookup<decltype(&RasGetProjectionInfoW)>(rasLibrary_, "RasGetProjectionInfoW");
    ras_->getConnectionStatistics =
        Lookup<decltype(&RasGetConnectionStatistics)>(rasLibrary_, "RasGetConnectionStatistics");
}

Win32NetworkPlatform::~Win32NetworkPlatform() {
    if (rasLibrary_) FreeLibrary(rasLibrary_);
}

bool Win32NetworkPlatform::IsNtFamily() {
    // The 9x family sets the top bit of the version word.
    return (GetVersion() & 0x80000000u) == 0;
}

std::uint32_t Win32NetworkPlatform::RasMissing() const {
    return rasLibrary_ ? kFunctionMissing : kLibraryMissing;
}

// ---- RAS ----

std::uint32_t Win32NetworkPlatform::EnumRasEntries(std::vector<RasEntryProperties>& entries) {
    if (!ras_->enumEntries || !ras_->getEntryProperties) return RasMissing();
    RecordBuffer buffer;
    DWORD count = 0;
    const DWORD result = FillGrowing(
        buffer, sizeof(RASENTRYNAMEW), RasRule(sizeof(RASENTRYNAMEW)),
        [&](RecordBuffer& b, DWORD& size) {
            count = 0;
            return ras_->enumEntries(nullptr, nullptr, b.As<RASENTRYNAMEW>(), &size, &count);
        });
    if (result != 0) return result;
    count = static_cast<DWORD>(std::min<std::size_t>(count, buffer.Size() / sizeof(RASENTRYNAMEW)));
    for (DWORD i = 0; i < count; ++i) {
        const RASENTRYNAMEW& name = buffer.As<RASENTRYNAMEW>()[i];
        const std::wstring wideName(FixedText(name.szEntryName));
        RasEntryProperties properties;
        if (const auto error = ReadEntryProperties(wideName.c_str(), properties); error != 0) {
            return error;  // the entries read so far stay
        }
        properties.name = GbkOf(wideName);
        entries.push_back(std::move(properties));
    }
    return 0;
}

std::uint32_t Win32NetworkPlatform::ReadEntryProperties(const wchar_t* name,
                                                        RasEntryProperties& properties) {
    // The entry's record is followed by its alternate numbers, so it may need more room.
    RecordBuffer buffer;
    const DWORD result = FillGrowing(
        buffer, sizeof(RASENTRYW), RasRule(sizeof(RASENTRYW)), [&](RecordBuffer& b, DWORD& size) {
            return ras_->getEntryProperties(nullptr, name, b.As<RASENTRYW>(), &size, nullptr,
                                            nullptr);
        });
    if (result != 0) return result;
    const RASENTRYW& entry = *buffer.As<RASENTRYW>();
    properties.deviceType = GbkOf(FixedText(entry.szDeviceType));
    properties.deviceName = GbkOf(FixedText(entry.szDeviceName));
    properties.localPhoneNumber = GbkOf(FixedText(entry.szLocalPhoneNumber));
    return 0;
}

std::uint32_t Win32NetworkPlatform::EnumRasConnections(std::vector<RasConnection>& connections,
                                                       std::size_t capacity) {
    if (!ras_->enumConnections) return RasMissing();
    // The buffer never grows past room for `capacity` connections.
    constexpr std::size_t kRecord = sizeof(RASCONNW);
    const DWORD limit =
        static_cast<DWORD>(std::min<std::size_t>(capacity, MAXDWORD / kRecord) * kRecord);
    RecordBuffer buffer;
    DWORD count = 0;
    const DWORD result = FillGrowing(
        buffer, kRecord, RasRule(kRecord),
        [&](RecordBuffer& b, DWORD& size) {
            count = 0;
            return ras_->enumConnections(b.As<RASCONNW>(), &size, &count);
        },
        limit);
    if (result != 0) return result;
    if (count > capacity) return kErrorBufferTooSmall;
    count = static_cast<DWORD>(std::min<std::size_t>(count, buffer.Size() / kRecord));
    for (DWORD i = 0; i < count; ++i) {
        const RASCONNW& connection = buffer.As<RASCONNW>()[i];
        connections.push_back({reinterpret_cast<RasHandle>(connection.hrasconn),
                               GbkOf(FixedText(connection.szEntryName))});
    }
    return 0;
}

std::uint32_t Win32NetworkPlatform::GetPppClientAddress(RasHandle connection,
                                                        std::string& address) {
    if (!ras_->getProjectionInfo) return RasMissing();
    RecordBuffer buffer;
    const DWORD result = FillGrowing(
        buffer, sizeof(RASPPPIPW), RasRule(sizeof(RASPPPIPW)), [&](RecordBuffer& b, DWORD& size) {
            return ras_->getProjectionInfo(reinterpret_cast<HRASCONN>(connection), RASP_PppIp,
                                           b.As<RASPPPIPW>(), &size);
        });
    if (result != 0) return result;
    const RASPPPIPW& projection = *buffer.As<RASPPPIPW>();
    // A projection that failed carries its error instead of an address.
    if (projection.dwError != 0) return projection.dwError;
    address = GbkOf(FixedText(projection.szIpAddress));
    return 0;
}

bool Win32NetworkPlatform::HasRasStatistics() {
    return ras_->getConnectionStatistics != nullptr;
}

std::uint32_t Win32NetworkPlatform::GetRasStatistics(RasHandle connection,
                                                     RasStatistics& statistics) {
    if (!ras_->getConnectionStatistics) return RasMissing();
    RAS_STATS raw{};
    raw.dwSize = sizeof raw;
    const DWORD result =
        ras_->getConnectionStatistics(reinterpret_cast<HRASCONN>(connection), &raw);
    if (result != 0) return result;
    statistics.bytesReceived = raw.dwBytesRcved;
    statistics.bytesSent = raw.dwBytesXmited;
    statistics.bitsPerSecond = raw.dwBps;
    statistics.durationMs = raw.dwConnectDuration;
    return 0;
}

// ---- IP Helper ----

std::uint32_t Win32NetworkPlatform::GetAdapters(std::vector<AdapterInfo>& adapters) {
    RecordBuffer buffer;
    const DWORD result = FillGrowing(
        buffer, sizeof(IP_ADAPTER_INFO), kAdapterRule, [](RecordBuffer& b, DWORD& size) {
            ULONG length = size;
            const DWORD r = GetAdaptersInfo(b.As<IP_ADAPTER_INFO>(), &length);
            size = length;
            return r;
        });
    if (result != 0) return result;
    for (const IP_ADAPTER_INFO* a = buffer.As<IP_ADAPTER_INFO>(); a; a = a->Next) {
        AdapterInfo adapter;
        adapter.type = a->Type;
        adapter.description = GbkOfAnsi(FixedText(a->Description));
        adapter.ipAddress = DottedText(a->IpAddressList);
        adapter.leaseObtained = static_cast<std::int64_t>(a->LeaseObtained);
        adapter.gateway = DottedText(a->GatewayList);
        adapters.push_back(std::move(adapter));
    }
    return 0;
}

std::uint32_t Win32NetworkPlatform::GetNetworkParameters(NetworkParameters& parameters) {
    RecordBuffer buffer;
    const DWORD result =
        FillGrowing(buffer, sizeof(FIXED_INFO), kAdapterRule, [](RecordBuffer& b, DWORD& size) {
            ULONG length = size;
            const DWORD r = GetNetworkParams(b.As<FIXED_INFO>(), &length);
            size = length;
            return r;
        });
    if (result != 0) return result;
    const FIXED_INFO& info = *buffer.As<FIXED_INFO>();
    parameters.hostName = GbkOfAnsi(FixedText(info.HostName));
    parameters.dnsServers.clear();
    // The first server, then the chain; a system without servers has an empty first.
    for (const IP_ADDR_STRING* s = &info.DnsServerList; s; s = s->Next) {
        std::string server = DottedText(*s);
        if (!server.empty()) parameters.dnsServers.push_back(std::move(server));
    }
    return 0;
}

namespace {

InterfaceRow RowOf(const MIB_IF_ROW2& row) {
    const std::size_t length = wcsnlen(row.Description, std::size(row.Description));
    InterfaceRow out;
    out.index = row.InterfaceIndex;
    out.type = row.Type;
    out.description = win::WideToGbk(std::wstring_view(row.Description, length));
    out.inOctets = static_cast<std::uint32_t>(row.InOctets);
    out.outOctets = static_cast<std::uint32_t>(row.OutOctets);
    out.filter = row.InterfaceAndOperStatusFlags.FilterInterface != FALSE;
    out.hardware = row.InterfaceAndOperStatusFlags.HardwareInterface != FALSE;
    return out;
}

}  // namespace

std::uint32_t Win32NetworkPlatform::GetInterfaceTable(std::vector<InterfaceRow>& rows) {
    // The second version of the table: one call sized by the system, 64-bit
    // counters, Wi-Fi rows, and the flags that tell filter layers and virtual
    // adapters from devices.
    MIB_IF_TABLE2* table = nullptr;
    if (const DWORD result = GetIfTable2(&table); result != NO_ERROR) return result;
    std::unordered_map<std::uint32_t, std::uint64_t> luids;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IF_ROW2& row = table->Table[i];
        rows.push_back(RowOf(row));
        luids[row.InterfaceIndex] = row.InterfaceLuid.Value;
    }
    FreeMibTable(table);
    std::lock_guard lock(luidMutex_);
    luids_ = std::move(luids);
    return 0;
}

std::uint32_t Win32NetworkPlatform::GetInterfaceRow(std::uint32_t index, InterfaceRow& row) {
    // One interface, 64-bit counters: what a tick reads of the session's LAN.
    MIB_IF_ROW2 entry{};
    entry.InterfaceIndex = index;
    {
        std::lock_guard lock(luidMutex_);
        if (const auto known = luids_.find(index); known != luids_.end()) {
            entry.InterfaceLuid.Value = known->second;
        }
    }
    if (const DWORD result = GetIfEntry2(&entry); result != NO_ERROR) return result;
    row = RowOf(entry);
    return 0;
}

// ---- Wininet ----

InternetState Win32NetworkPlatform::QueryInternetState() {
    using ConnectedStateEx = BOOL(WINAPI*)(LPDWORD, LPWSTR, DWORD, DWORD);
    InternetState state;
    // Loaded for this one query: the program does not keep Wininet in memory.
    HMODULE wininet = LoadLibraryW(L"Wininet.dll");
    if (!wininet) {
        state.availability = InternetState::Availability::LibraryMissing;
        return state;
    }
    const auto query = Lookup<ConnectedStateEx>(wininet, "InternetGetConnectedStateExW");
    if (!query) {
        state.availability = InternetState::Availability::FunctionMissing;
    } else {
        wchar_t name[256] = {};
        DWORD flags = 0;
        state.connected = query(&flags, name, static_cast<DWORD>(std::size(name)), 0) != FALSE;
        if (state.connected) {
            state.flags = flags;
            state.connectionName = GbkOf(FixedText(name));
        }
    }
    FreeLibrary(wininet);
    return state;
}

// ---- Windows ----

std::vector<TopLevelWindow> Win32NetworkPlatform::TopLevelWindows() {
    return WindowsOf(nullptr);
}

std::vector<TopLevelWindow> Win32NetworkPlatform::ChildWindows(std::uintptr_t parent) {
    const HWND window = reinterpret_cast<HWND>(parent);
    if (!IsWindow(window)) return {};
    return WindowsOf(window);
}

// ---- Registry and files ----

std::optional<std::wstring> Win32NetworkPlatform::AppPath(const std::wstring& executable) {
    const std::wstring path =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + executable;
    HKEY key = nullptr;
    if (executable.empty() ||
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != 0) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::wstring> value;
    if (RegQueryValueExW(key, L"Path", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        // One spare character: a stored string need not end with a NUL.
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        DWORD read = size;
        if (RegQueryValueExW(key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                             &read) == ERROR_SUCCESS &&
            read <= size && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            text.resize(std::wcslen(text.c_str()));
            value = std::move(text);
        }
    }
    RegCloseKey(key);
    if (value && type == REG_EXPAND_SZ) {
        const DWORD length = ExpandEnvironmentStringsW(value->c_str(), nullptr, 0);
        std::wstring expanded(length, L'\0');
        if (length > 0 && ExpandEnvironmentStringsW(value->c_str(), expanded.data(), length) > 0) {
            expanded.resize(std::wcslen(expanded.c_str()));
            value = std::move(expanded);
        }
    }
    return value;
}

bool Win32NetworkPlatform::FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- Winsock ----

std::unique_ptr<IcmpSocket> Win32NetworkPlatform::OpenIcmpSocket(int& error) {
    const HANDLE handle = IcmpCreateFile();
    if (handle == INVALID_HANDLE_VALUE) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    error = 0;
    return std::make_unique<Win32IcmpEcho>(handle);
}

std::optional<std::uint32_t> Win32NetworkPlatform::ResolveHost(const std::string& host) {
    if (host.empty() || winsock_->Error() != 0) return std::nullopt;
    IN_ADDR address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1) return address.s_addr;

    const std::wstring name = win::Utf8ToWide(host);
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    ADDRINFOW* found = nullptr;
    if (name.empty() || GetAddrInfoW(name.c_str(), nullptr, &hints, &found) != 0) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> result;
    for (const ADDRINFOW* a = found; a && !result; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            result = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
        }
    }
    FreeAddrInfoW(found);
    return result;
}

std::uint32_t Win32NetworkPlatform::ProcessId() {
    return GetCurrentProcessId();
}

}  // namespace hourlink
