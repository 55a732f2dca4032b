#include "win/text.h"

#include <climits>

namespace hourlink::win {

std::wstring ToWide(std::string_view bytes, UINT codePage) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    int inLength = static_cast<int>(bytes.size());
    int length = MultiByteToWideChar(codePage, 0, bytes.data(), inLength, nullptr, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), inLength, text.data(), length);
    return text;
}

std::string FromWide(std::wstring_view text, UINT codePage) {
    if (text.empty() || text.size() > INT_MAX) return {};
    int inLength = static_cast<int>(text.size());
    // UTF-8 takes no default character; the others replace what they lack with '?'.
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    int length =
        WideCharToMultiByte(codePage, 0, text.data(), inLength, nullptr, 0, fallback, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), inLength, bytes.data(), length, fallback,
                        nullptr);
    return bytes;
}

std::wstring LoadResourceString(UINT id, HMODULE module) {
    if (!module) module = GetModuleHandleW(nullptr);
    // With a zero buffer size LoadStringW hands out a pointer into the resource.
    const wchar_t* resource = nullptr;
    int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
    if (length <= 0 || !resource) return {};
    return std::wstring(resource, static_cast<size_t>(length));
}

std::wstring_view Field(std::wstring_view text, size_t index, wchar_t separator) {
    for (; index > 0; --index) {
        size_t end = text.find(separator);
        if (end == std::wstring_view::npos) return {};
        text.remove_prefix(end + 1);
    }
    return text.substr(0, text.find(separator));
}

}  // namespace hourlink::win
