// The ping tool's numeric fields as its dialog reads them: unsigned numbers,
// with the messages the dialog shows for what it refuses. A time-out of 0
// would make the socket wait for ever with the window frozen, and a time-out
// beyond the largest int would wrap into that; a payload over 65500 bytes
// cannot travel in one datagram.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hourlink::ping_fields {

inline constexpr int kLargestMessageSize = 65500;
inline constexpr std::wstring_view kNotPositive = L"“请填入一个正整数。”";

// Digits with blanks around them, at most 32 bits; nothing for anything else
// (a sign, other characters, an empty text, a larger number).
std::optional<std::uint32_t> ParseUnsigned(std::wstring_view text);

// A field's value, or the message that refuses it.
struct Checked {
    std::optional<int> value;
    std::wstring message;
};
// Milliseconds, 1 up to the largest int.
Checked CheckTimeout(std::wstring_view text);
// Payload bytes, 0 to kLargestMessageSize.
Checked CheckMessageSize(std::wstring_view text);

}  // namespace hourlink::ping_fields
