#include "core/accounting/data_allowance.h"

#include <cstdio>
#include <cwctype>

#include "core/settings/settings.h"

namespace hourlink {

std::int64_t ReadDataAllowance(SettingsStore& store) {
    return std::int64_t{ReadSetting(store, settings::kDataLimit)} * kBytesPerMegabyte;
}

std::wstring FormatDataAmount(std::int64_t bytes) {
    if (bytes < 0) bytes = 0;
    wchar_t buffer[48];
    const double value = static_cast<double>(bytes);
    if (bytes >= 100'000'000'000) {
        std::swprintf(buffer, 48, L"%.1f GB", value / 1e9);
    } else if (bytes >= 1'000'000'000) {
        std::swprintf(buffer, 48, L"%.2f GB", value / 1e9);
    } else if (bytes >= 1'000'000) {
        std::swprintf(buffer, 48, L"%.1f MB", value / 1e6);
    } else {
        std::swprintf(buffer, 48, L"%lld KB", static_cast<long long>(bytes / 1000));
    }
    return buffer;
}

std::wstring GigabytesText(int megabytes) {
    if (megabytes < 0) megabytes = 0;
    std::wstring text = std::to_wstring(megabytes / 1000);
    int fraction = megabytes % 1000;
    if (fraction == 0) return text;
    wchar_t digits[8];
    std::swprintf(digits, 8, L".%03d", fraction);
    text += digits;
    while (text.back() == L'0') text.pop_back();
    return text;
}

std::optional<int> ParseGigabytes(std::wstring_view text) {
    while (!text.empty() && std::iswspace(text.front())) text.remove_prefix(1);
    while (!text.empty() && std::iswspace(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    long long whole = 0;
    int fraction = 0;
    int fractionDigits = 0;
    bool point = false;
    bool digits = false;
    for (wchar_t c : text) {
        if (c == L'.' && !point) {
            point = true;
        } else if (c >= L'0' && c <= L'9') {
            digits = true;
            if (point) {
                if (++fractionDigits > 3) return std::nullopt;
                fraction = fraction * 10 + (c - L'0');
            } else {
                whole = whole * 10 + (c - L'0');
                if (whole > kMaxDataLimitGigabytes) return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    while (fractionDigits++ < 3) fraction *= 10;
    const long long megabytes = whole * 1000 + fraction;
    if (megabytes > std::int64_t{kMaxDataLimitGigabytes} * 1000) return std::nullopt;
    return static_cast<int>(megabytes);
}

std::wstring GigabytesRangeMessage() {
    return L"“请填入一个在0和10000之间的数(GB)，最多三位小数；0表示不限流量。”";
}

}  // namespace hourlink
