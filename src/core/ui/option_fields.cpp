#include "core/ui/option_fields.h"

#include <climits>
#include <cwchar>

#include "core/accounting/accounting.h"
#include "core/base/time_format.h"
#include "core/session/usage_alerts.h"

namespace hourlink {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Digits only, at most `limit`.
std::optional<std::uint64_t> ParseDigits(std::wstring_view digits, std::uint64_t limit) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > limit) return std::nullopt;
    }
    return value;
}

}  // namespace

std::wstring IntegerRangeMessage(long long low, long long high) {
    wchar_t text[96];
    std::swprintf(text, 96, L"“请填入一个在%lld和%lld之间的整数。”", low, high);
    return text;
}

std::optional<int> ParseDialogInt(std::wstring_view text) {
    text = Trim(text);
    const bool negative = !text.empty() && text.front() == L'-';
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) text.remove_prefix(1);
    const auto magnitude = ParseDigits(text, negative ? 2147483648u : 2147483647u);
    if (!magnitude) return std::nullopt;
    return static_cast<int>(negative ? -static_cast<long long>(*magnitude)
                                     : static_cast<long long>(*magnitude));
}

std::optional<std::uint32_t> ParseDialogUnsigned(std::wstring_view text) {
    const auto value = ParseDigits(Trim(text), UINT32_MAX);
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

CheckedNumber CheckInteger(std::wstring_view text, int min, int max) {
    const auto value = ParseDialogInt(text);
    if (!value) return {std::nullopt, std::wstring(kNotAnInteger)};
    if (*value < min || *value > max) return {std::nullopt, IntegerRangeMessage(min, max)};
    return {*value, {}};
}

CheckedNumber CheckUnsigned(std::wstring_view text, std::uint32_t max) {
    const auto value = ParseDialogUnsigned(text);
    if (!value) return {std::nullopt, std::wstring(kNotAPositiveInteger)};
    if (*value > max) return {std::nullopt, IntegerRangeMessage(0, max)};
    return {*value, {}};
}

std::vector<int> LoadFields(std::span<const DialogField> fields, SettingsStore& store) {
    std::vector<int> values;
    values.reserve(fields.size());
    for (const DialogField& field : fields) values.push_back(ReadSetting(store, field.setting));
    return values;
}

void SaveFields(std::span<const DialogField> fields, const std::vector<int>& values,
                SettingsStore& store) {
    for (std::size_t i = 0; i < fields.size() && i < values.size(); ++i) {
        WriteSetting(store, fields[i].setting, values[i]);
    }
}

void SaveOptions(const std::vector<int>& values, SettingsStore& store, std::int64_t now) {
    const UsageLimitSettings before = ReadUsageLimitSettings(store);
    SaveFields(kOptionsFields, values, store);
    ForgetMarksOfChangedLimits(store, before);
    if (const auto today = ToLocalTime(now)) {
        const YearMonth month = AccountingMonthLabel(today->tm_year + 1900, today->tm_mon + 1,
                                                     today->tm_mday, ReadStartDay(store));
        WriteSetting(store, settings::kStartMonth, month.month);
    }
}

}  // namespace hourlink
