// The fields of the options dialogs as data: which setting each shows, in
// the order they are read and checked, and the range a number must lie in when
// the dialog is confirmed, with the messages that refuse a text. The dialogs
// pair each field with its control and move the values between the registry
// and their controls with these tables; what is refused is never written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/settings.h"
#include "core/settings/settings_store.h"

namespace hourlink {

inline constexpr std::wstring_view kNotAnInteger = L"请键入一个整数。";
inline constexpr std::wstring_view kNotAPositiveInteger = L"“请填入一个正整数。”";
// "“请填入一个在%1和%2之间的整数。”" with the bounds.
std::wstring IntegerRangeMessage(long long low, long long high);

// A number as a dialog's edit holds it: blanks around it, an optional sign,
// digits; nothing for anything else or a number beyond 32 bits.
std::optional<int> ParseDialogInt(std::wstring_view text);
// The same without a sign, up to 2^32 - 1.
std::optional<std::uint32_t> ParseDialogUnsigned(std::wstring_view text);

// A field's value, or the message that refuses the text.
struct CheckedNumber {
    std::optional<long long> value;
    std::wstring message;
};
CheckedNumber CheckInteger(std::wstring_view text, int min, int max);
CheckedNumber CheckUnsigned(std::wstring_view text, std::uint32_t max);

// kGigabytes: a number stored in megabytes and shown and typed in gigabytes,
// decimals allowed (ParseGigabytes).
enum class FieldKind { kNumber, kCheck, kRadio, kGigabytes };

// A radio field is a pair of buttons: the first for 0, the second for 1.
struct DialogField {
    IntSetting setting;
    FieldKind kind;
    int min = 0;  // for numbers: what OK accepts
    int max = 0;
};

// The options dialog, in the order its fields are read and checked.
inline constexpr std::array<DialogField, 14> kOptionsFields{{
    {settings::kDelInterval, FieldKind::kNumber, 1, 12},
    {settings::kStartDate, FieldKind::kNumber, 1, 30},
    {settings::kLimitTime, FieldKind::kNumber, 1, 720},
    {settings::kAlarmSound, FieldKind::kCheck},
    {settings::kAlarmWindow, FieldKind::kCheck},
    {settings::kDayLimit, FieldKind::kNumber, 1, 24},
    {settings::kDropWindow, FieldKind::kCheck},
    {settings::kTranWindow, FieldKind::kCheck},
    {settings::kStartRun, FieldKind::kCheck},
    {settings::kHangUp, FieldKind::kCheck},
    // Hours added to or taken from this month's time; a month has at most 720.
    {settings::kAdjust, FieldKind::kNumber, 0, 720},
    {settings::kRadioAdjust, FieldKind::kRadio},
    {settings::kDataLimit, FieldKind::kGigabytes},
    {settings::kWarnShare, FieldKind::kNumber, 0, 100},
}};

// The advanced dial options dialog.
inline constexpr std::array<DialogField, 6> kAdvancedFields{{
    {settings::kIdleFlag, FieldKind::kCheck},
    {settings::kLocalFlag, FieldKind::kCheck},
    {settings::kDialCount, FieldKind::kNumber, 1, 99},
    {settings::kIdleMinutes, FieldKind::kNumber, 1, 59},
    {settings::kDialWait, FieldKind::kNumber, 5, 99},
    {settings::kStartUpConnect, FieldKind::kCheck},
}};

// The stored values of `fields`, in their order.
std::vector<int> LoadFields(std::span<const DialogField> fields, SettingsStore& store);
void SaveFields(std::span<const DialogField> fields, const std::vector<int>& values,
                SettingsStore& store);

// Saves the options dialog's values, then marks the month the correction of
// this month's time belongs to: the accounting month of `now`, the one the
// history shows and compares with. A monthly limit or the warning share that
// changed lets its warning and alarm come again this month.
void SaveOptions(const std::vector<int>& values, SettingsStore& store, std::int64_t now);

}  // namespace hourlink
