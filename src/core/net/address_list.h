// The machine's address list as the Winsock address-list query returns it (a
// 64-bit SOCKET_ADDRESS_LIST): a count, then (pointer, length) pairs that point
// at socket addresses inside the same buffer. Parsed without trusting any of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace hourlink {

struct AddressList {
    bool valid = false;               // the count and every entry made sense
    int count = 0;                    // the number of entries the query reported
    std::vector<std::uint32_t> ipv4;  // IPv4 addresses, network byte order
};

// `buffer` holds `size` bytes that the query filled; `bufferAddress` is where
// the buffer lies in memory (the entries' pointers are absolute).
AddressList ParseAddressList(const std::uint8_t* buffer, std::size_t size,
                             std::uintptr_t bufferAddress);

}  // namespace hourlink
