// libFuzzer target for the parser of the Winsock address list: the first 8
// bytes are the address the buffer is taken to lie at, the rest is the buffer
// the query filled (a count, then pointer and length pairs that should point
// into the buffer itself).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/base/byte_order.h"
#include "core/net/address_list.h"
#include "fuzz_support.h"

using namespace hourlink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8) return 0;
    const std::uint64_t at = LoadU32(data) | (std::uint64_t{LoadU32(data + 4)} << 32);
    // A copy of exactly the bytes filled in, so that ASan sees a read past them.
    const std::vector<std::uint8_t> buffer(data + 8, data + size);
    const AddressList list =
        ParseAddressList(buffer.data(), buffer.size(), static_cast<std::uintptr_t>(at));

    // The count is only believed when its entries fit the buffer, and each
    // entry gives at most one address.
    FUZZ_REQUIRE(list.count >= 0);
    FUZZ_REQUIRE(list.count == 0 || 8 + 16 * static_cast<std::size_t>(list.count) <= buffer.size());
    FUZZ_REQUIRE(list.ipv4.size() <= static_cast<std::size_t>(list.count));
    return 0;
}
