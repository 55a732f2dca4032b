// Code page 936 (GBK) byte strings, as the record file and the report store names.
#pragma once

#include <cstddef>
#include <string_view>

namespace hourlink {

// True for a byte that starts a two-byte GBK character.
inline bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// The length of the longest prefix of `gbk` that is at most `maxBytes` long and
// does not end in the middle of a two-byte character.
std::size_t GbkPrefixLength(std::string_view gbk, std::size_t maxBytes);

}  // namespace hourlink
