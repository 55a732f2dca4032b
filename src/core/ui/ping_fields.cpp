#include "core/ui/ping_fields.h"

#include <climits>
#include <cwchar>

namespace hourlink::ping_fields {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// "“请填入一个在%1和%2之间的整数。”" with the bounds.
std::wstring RangeMessage(long long low, long long high) {
    wchar_t text[96];
    std::swprintf(text, 96, L"“请填入一个在%lld和%lld之间的整数。”", low, high);
    return text;
}

}  // namespace

std::optional<std::uint32_t> ParseUnsigned(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

Checked CheckTimeout(std::wstring_view text) {
    const auto value = ParseUnsigned(text);
    if (!value || *value == 0) return {std::nullopt, std::wstring(kNotPositive)};
    if (*value > static_cast<std::uint32_t>(INT_MAX)) {
        return {std::nullopt, RangeMessage(1, INT_MAX)};
    }
    return {static_cast<int>(*value), {}};
}

Checked CheckMessageSize(std::wstring_view text) {
    const auto value = ParseUnsigned(text);
    if (!value) return {std::nullopt, std::wstring(kNotPositive)};
    if (*value > static_cast<std::uint32_t>(kLargestMessageSize)) {
        return {std::nullopt, RangeMessage(0, kLargestMessageSize)};
    }
    return {static_cast<int>(*value), {}};
}

}  // namespace hourlink::ping_fields
