// Text to GBK bytes where a guess would be wrong: passwords, which must match
// byte for byte, and the report, which writes what GBK lacks as references.
// No best-fit mapping: 'ñ' does not quietly become 'n'.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace hourlink::win {

// The GBK bytes of `text`; nothing when a character has no place in GBK.
std::optional<std::string> WideToGbkExactly(std::wstring_view text);

// How many GBK bytes `text` takes; a character GBK lacks counts as one.
std::size_t GbkByteCount(std::wstring_view text);

}  // namespace hourlink::win
