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

// The code points of UTF-8 text. Each byte that begins no well-formed sequence
// (a stray continuation byte, a cut-off, overlong or surrogate sequence, one
// beyond U+10FFFF) reads as one U+FFFD, and decoding goes on after it.
std::u32string DecodeUtf8(std::string_view text);

// The text with its ill-formed bytes replaced as DecodeUtf8 does: always
// valid UTF-8, equal to the input when that was.
std::string ValidUtf8(std::string_view text);

// The wide text of UTF-8 text (UTF-16 on Windows, UTF-32 elsewhere).
std::wstring Utf8ToWide(std::string_view text);

}  // namespace hourlink
