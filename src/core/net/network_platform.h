// The network seam: what the program asks the system about connections. The
// Win32 implementation talks to RAS, IP Helper, Wininet, the window manager, the
// registry and Winsock; tests script a fake.
//
// Names, descriptions and titles are code page 936 (GBK) bytes, as the session
// records keep them; addresses are dotted IPv4 texts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hourlink {

// A RAS connection handle; 0 is none.
using RasHandle = std::uintptr_t;

// RAS and IP Helper result codes the probes use.
inline constexpr std::uint32_t kErrorBufferTooSmall = 603;  // RAS
inline constexpr std::uint32_t kErrorBufferOverflow = 111;  // IP Helper
inline constexpr std::uint32_t kRasNoMemory = 14;
inline constexpr std::uint32_t kIpHelperNoMemory = 1;

struct RasEntryProperties {
    std::string name;
    std::string deviceType;  // e.g. "modem", "isdn", "vpn", "PPPoE"
    std::string deviceName;
    std::string localPhoneNumber;
};

struct RasConnection {
    RasHandle handle = 0;
    std::string entryName;
};

struct RasStatistics {
    std::uint32_t bytesReceived = 0;
    std::uint32_t bytesSent = 0;
    std::uint32_t bitsPerSecond = 0;
    std::uint32_t durationMs = 0;  // how long the connection has been up
};

struct AdapterInfo {
    std::uint32_t type = 0;  // IP Helper interface type: 6 Ethernet, 23 PPP
    std::string description;
    std::string ipAddress;  // the first address of the adapter's list
    std::int64_t leaseObtained = 0;
    std::string gateway;  // the first gateway address
};

struct NetworkParameters {
    std::string hostName;
    std::vector<std::string> dnsServers;  // in the system's order
};

struct InterfaceRow {
    std::uint32_t type = 0;
    std::string description;
    // The low 32 bits of the counters: the traffic path takes steps modulo 2^32.
    std::uint32_t inOctets = 0;
    std::uint32_t outOctets = 0;
    // A filter layer over another interface (a QoS or firewall driver), which
    // counts the same bytes again; and whether a device is behind it.
    bool filter = false;
    bool hardware = true;
    std::uint32_t index = 0;  // the interface's index while it exists
};

struct InternetState {
    enum class Availability { LibraryMissing, FunctionMissing, Available };
    Availability availability = Availability::Available;
    bool connected = false;
    std::uint32_t flags = 0;
    std::string connectionName;
};

struct TopLevelWindow {
    std::uintptr_t handle = 0;
    std::string title;
};

// ICMP echo requests and what answers them, as raw IPv4 datagrams (IPv4 only).
// On Windows the IP helper's echo service stands behind it, which needs no
// administrator rights; the datagrams are rebuilt from its answers.
class IcmpSocket {
  public:
    virtual ~IcmpSocket() = default;
    // Receive and send timeouts; 0 or the socket error code.
    virtual int SetTimeouts(int milliseconds) = 0;
    // The largest datagram the socket can send, when the system tells.
    virtual std::optional<int> MaxMessageSize() = 0;
    // 0 or the socket error code.
    virtual int SendTo(std::uint32_t address, const std::uint8_t* data, std::size_t size) = 0;
    struct Received {
        int error = 0;  // 0 or the socket error code (10060 when timed out)
        std::size_t size = 0;
        std::uint32_t from = 0;  // IPv4 address in network byte order
    };
    virtual Received ReceiveFrom(std::uint8_t* buffer, std::size_t capacity) = 0;
};

class NetworkPlatform {
  public:
    virtual ~NetworkPlatform() = default;

    // The system family: NT (true) or 9x.
    virtual bool IsNtFamily() = 0;

    // RAS. Each call returns 0, kRasNoMemory or the RAS error code.
    virtual std::uint32_t EnumRasEntries(std::vector<RasEntryProperties>& entries) = 0;
    // `capacity` is how many connections the caller has room for; more
    // connections than that answer kErrorBufferTooSmall.
    virtual std::uint32_t EnumRasConnections(std::vector<RasConnection>& connections,
                                             std::size_t capacity) = 0;
    virtual std::uint32_t GetPppClientAddress(RasHandle connection, std::string& address) = 0;
    // False when the RAS library has no statistics function.
    virtual bool HasRasStatistics() = 0;
    virtual std::uint32_t GetRasStatistics(RasHandle connection, RasStatistics& statistics) = 0;

    // IP Helper. Each call returns 0, kIpHelperNoMemory or the IP Helper error code.
    virtual std::uint32_t GetAdapters(std::vector<AdapterInfo>& adapters) = 0;
    virtual std::uint32_t GetNetworkParameters(NetworkParameters& parameters) = 0;
    virtual std::uint32_t GetInterfaceTable(std::vector<InterfaceRow>& rows) = 0;
    // The row of the one interface `index`, without reading the whole table;
    // non-zero when there is no such interface (any more).
    virtual std::uint32_t GetInterfaceRow(std::uint32_t index, InterfaceRow& row) = 0;

    // Wininet's connected state, looked up at every call.
    virtual InternetState QueryInternetState() = 0;

    // Top-level windows in z-order, and the texts of a window's children.
    virtual std::vector<TopLevelWindow> TopLevelWindows() = 0;
    virtual std::vector<TopLevelWindow> ChildWindows(std::uintptr_t parent) = 0;

    // The "Path" value of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\<exe>.
    virtual std::optional<std::wstring> AppPath(const std::wstring& executable) = 0;
    virtual bool FileExists(const std::wstring& path) = 0;

    // An ICMP echo channel, or null with the system's error code.
    virtual std::unique_ptr<IcmpSocket> OpenIcmpSocket(int& error) = 0;
    // A dotted address or a host name (UTF-8) to an IPv4 address in network
    // byte order.
    virtual std::optional<std::uint32_t> ResolveHost(const std::string& host) = 0;
    virtual std::uint32_t ProcessId() = 0;
};

}  // namespace hourlink
