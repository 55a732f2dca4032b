// The network seam on the real system: RAS (loaded by name at run time), IP
// Helper, Wininet (loaded at every query), the window manager, the registry's
// App Paths, Winsock's name lookup and the IP helper's ICMP echo service.
//
// Every method may be called from any thread; nothing in the object changes
// after construction.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

#include "core/net/network_platform.h"

namespace hourlink {

// A zeroed block for the records a system call fills in, aligned for any of them.
class RecordBuffer {
  public:
    // Replaces the block with `size` zero bytes; false when the memory cannot be had.
    bool Allocate(std::size_t size) {
        const std::size_t units = (size + sizeof(Unit) - 1) / sizeof(Unit);
        data_.reset(new (std::nothrow) Unit[units == 0 ? 1 : units]());
        size_ = data_ ? size : 0;
        return data_ != nullptr;
    }
    template <class T>
    T* As() {
        return reinterpret_cast<T*>(data_.get());
    }
    std::size_t Size() const { return size_; }

  private:
    // Eight-byte units align every field of these records (handles, times) and,
    // unlike long double, have no padding that value-initialisation may skip.
    using Unit = std::uint64_t;
    std::unique_ptr<Unit[]> data_;
    std::size_t size_ = 0;
};

// How a system call that fills a caller's buffer asks for a bigger one.
struct GrowRule {
    DWORD tooSmall;    // the result that comes with the size needed
    DWORD noMemory;    // the result when the buffer cannot be allocated
    DWORD recordSize;  // stamped into the first DWORD of the buffer (0: nothing)
};

// Calls `call(buffer, size)` with a zeroed buffer of `firstSize` bytes. When the
// call answers rule.tooSmall and reports a larger size (at most `limit`), it is
// made once more with a zeroed buffer of that size. Returns the last result.
template <class Call>
DWORD FillGrowing(RecordBuffer& buffer, DWORD firstSize, const GrowRule& rule, Call call,
                  DWORD limit = MAXDWORD) {
    const auto prepare = [&](DWORD size) {
        // The first record must hold its own size field even if the size reported is odd.
        const std::size_t room = size < rule.recordSize ? rule.recordSize : size;
        if (!buffer.Allocate(room)) return false;
        if (rule.recordSize != 0) *buffer.As<DWORD>() = rule.recordSize;
        return true;
    };
    DWORD size = firstSize;
    if (!prepare(size)) return rule.noMemory;
    const DWORD result = call(buffer, size);
    if (result != rule.tooSmall || size <= firstSize || size > limit) return result;
    if (!prepare(size)) return rule.noMemory;
    return call(buffer, size);
}

class WinsockSession;

class Win32NetworkPlatform final : public NetworkPlatform {
  public:
    // Loads "RASAPI32.DLL" and looks up its functions, and starts Winsock. A
    // missing library or function makes the RAS calls that need it fail with a code.
    Win32NetworkPlatform();
    ~Win32NetworkPlatform() override;
    Win32NetworkPlatform(const Win32NetworkPlatform&) = delete;
    Win32NetworkPlatform& operator=(const Win32NetworkPlatform&) = delete;

    // Whether the RAS library could be loaded.
    bool RasLoaded() const { return rasLibrary_ != nullptr; }

    bool IsNtFamily() override;

    std::uint32_t EnumRasEntries(std::vector<RasEntryProperties>& entries) override;
    std::uint32_t EnumRasConnections(std::vector<RasConnection>& connections,
                                     std::size_t capacity) override;
    std::uint32_t GetPppClientAddress(RasHandle connection, std::string& address) override;
    bool HasRasStatistics() override;
    std::uint32_t GetRasStatistics(RasHandle connection, RasStatistics& statistics) override;

    std::uint32_t GetAdapters(std::vector<AdapterInfo>& adapters) override;
    std::uint32_t GetNetworkParameters(NetworkParameters& parameters) override;
    std::uint32_t GetInterfaceTable(std::vector<InterfaceRow>& rows) override;
    std::uint32_t GetInterfaceRow(std::uint32_t index, InterfaceRow& row) override;

    InternetState QueryInternetState() override;

    std::vector<TopLevelWindow> TopLevelWindows() override;
    std::vector<TopLevelWindow> ChildWindows(std::uintptr_t parent) override;

    std::optional<std::wstring> AppPath(const std::wstring& executable) override;
    bool FileExists(const std::wstring& path) override;

    std::unique_ptr<IcmpSocket> OpenIcmpSocket(int& error) override;
    std::optional<std::uint32_t> ResolveHost(const std::string& host) override;
    std::uint32_t ProcessId() override;

  private:
    struct RasFunctions;

    std::uint32_t RasMissing() const;
    std::uint32_t ReadEntryProperties(const wchar_t* name, RasEntryProperties& properties);

    HMODULE rasLibrary_ = nullptr;
    std::unique_ptr<RasFunctions> ras_;
    // Each interface's locally unique identifier by index, from the last table
    // read. A row asked for by its LUID is one request to the system; by its
    // index the system first looks the LUID up (under Wine a second request
    // to the network driver, every tick). A LUID is never given to another
    // interface, so a vanished one fails rather than read a newcomer.
    std::mutex luidMutex_;
    std::unordered_map<std::uint32_t, std::uint64_t> luids_;
    std::shared_ptr<WinsockSession> winsock_;
};

}  // namespace hourlink
