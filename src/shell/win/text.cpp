#include "shell/win/text.h"

#include <climits>
#include <string>

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

std::wstring SystemErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n ? std::wstring(buffer, n) : L"错误 " + std::to_wstring(error);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

}  // namespace hourlink::win
