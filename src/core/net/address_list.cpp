#include "core/net/address_list.h"

#include <cstring>

#include "core/base/byte_order.h"

namespace hourlink {

namespace {

// The 64-bit layout: INT count, 4 bytes of padding, then 16-byte entries of an
// 8-byte pointer, a 4-byte length and 4 bytes of padding.
constexpr std::size_t kEntriesOffset = 8;
constexpr std::size_t kEntrySize = 16;
constexpr std::uint16_t kFamilyIpv4 = 2;
constexpr std::size_t kSockaddrInSize = 16;

std::uint64_t LoadU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(LoadU32(p)) |
           (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}

}  // namespace

AddressList ParseAddressList(const std::uint8_t* buffer, std::size_t size,
                             std::uintptr_t bufferAddress) {
    AddressList list;
    if (buffer == nullptr || size < kEntriesOffset) return list;
    const std::int32_t count = LoadI32(buffer);
    if (count < 0 || static_cast<std::size_t>(count) > (size - kEntriesOffset) / kEntrySize) {
        return list;
    }
    list.count = count;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t* entry =
            buffer + kEntriesOffset + kEntrySize * static_cast<std::size_t>(i);
        const std::uint64_t pointer = LoadU64(entry);
        const std::int32_t length = LoadI32(entry + 8);
        // The socket address must lie wholly inside the buffer.
        if (pointer < bufferAddress || length < 2) return list;
        const std::uint64_t offset = pointer - bufferAddress;
        if (offset > size || static_cast<std::uint64_t>(length) > size - offset) return list;
        const std::uint8_t* sockaddr = buffer + offset;
        if (LoadU16(sockaddr) == kFamilyIpv4 &&
            static_cast<std::size_t>(length) >= kSockaddrInSize) {
            std::uint32_t address;
            std::memcpy(&address, sockaddr + 4, sizeof address);
            list.ipv4.push_back(address);
        }
    }
    list.valid = true;
    return list;
}

}  // namespace hourlink
