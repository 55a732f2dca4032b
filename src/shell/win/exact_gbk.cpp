#include "shell/win/exact_gbk.h"

#include <climits>

#include "shell/win/text.h"

namespace hourlink::win {

std::optional<std::string> WideToGbkExactly(std::wstring_view text) {
    if (text.empty()) return std::string();
    if (text.size() > INT_MAX / 2) return std::nullopt;
    const int inLength = static_cast<int>(text.size());
    // Each UTF-16 unit becomes at most two bytes.
    std::string bytes(text.size() * 2, '\0');
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, text.data(), inLength, bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return std::nullopt;
    bytes.resize(static_cast<std::size_t>(length));
    return bytes;
}

std::size_t GbkByteCount(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) return text.size();
    const int length = WideCharToMultiByte(
        kGbkCodePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    return length > 0 ? static_cast<std::size_t>(length) : text.size();
}

}  // namespace hourlink::win
