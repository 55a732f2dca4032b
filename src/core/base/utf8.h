// UTF-8 text in the portable core: what the CSV export and the console reader
// write. Wide strings are UTF-16 on Windows and UTF-32 elsewhere; both are read
// here, a lone surrogate becoming U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace hourlink {

// Appends the UTF-8 bytes of one code point; one that is not a Unicode scalar
// value is written as U+FFFD.
void AppendUtf8(std::string& out, char32_t codePoint);

// The UTF-8 bytes of a wide text.
std::string WideToUtf8(std::wstring_view text);

// The wide text of UTF-8 bytes; each byte that does not begin a well-formed
// sequence (overlong, surrogate, past U+10FFFF, cut short) becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view utf8);

}  // namespace hourlink
