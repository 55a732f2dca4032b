// Text at the Windows boundary: code-page conversions (GBK for the record file and
// the report, UTF-8 for logs and tests) and the program's string resources.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace hourlink::win {

constexpr UINT kGbkCodePage = 936;

// Bytes in `codePage` to UTF-16; bytes that do not convert become U+FFFD (or the
// code page's default) rather than failing.
std::wstring ToWide(std::string_view bytes, UINT codePage);
// UTF-16 to bytes in `codePage`; characters the code page lacks become '?'.
std::string FromWide(std::wstring_view text, UINT codePage);

inline std::wstring GbkToWide(std::string_view gbk) {
    return ToWide(gbk, kGbkCodePage);
}
inline std::string WideToGbk(std::wstring_view text) {
    return FromWide(text, kGbkCodePage);
}
inline std::wstring Utf8ToWide(std::string_view utf8) {
    return ToWide(utf8, CP_UTF8);
}
inline std::string WideToUtf8(std::wstring_view text) {
    return FromWide(text, CP_UTF8);
}

// The system's text for error code `error` without its line end, or "错误 N"
// when the system has none.
std::wstring SystemErrorText(DWORD error);

// String resource `id` of `module` (null: the program); empty when absent.
std::wstring LoadResourceString(UINT id, HMODULE module = nullptr);

// Field `index` (0-based) of a text cut at `separator`, as the document
// template's string 128 is read ("Hourlink\n\nHourlink..."); empty past the end.
std::wstring_view Field(std::wstring_view text, size_t index, wchar_t separator = L'\n');

}  // namespace hourlink::win
