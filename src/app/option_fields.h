// The fields of the options dialogs as data: which control shows which
// setting, and the range a number must lie in when the dialog is confirmed,
// with the messages that refuse a text. The dialogs move the values between
// the registry and their controls with these tables; what is refused is never
// written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"
#include "app/settings_store.h"
#include "res/resource.h"

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

enum class FieldKind { kNumber, kCheck, kRadio };

struct DialogField {
    int control;  // the edit, the check box, or the first of two radio buttons
    IntSetting setting;
    FieldKind kind;
    int min = 0;  // for numbers: what OK accepts
    int max = 0;
};

// The options dialog (138), in the order its fields are read and checked.
inline constexpr std::array<DialogField, 12> kOptionsFields{{
    {IDC_OPT_DEL_INTERVAL, settings::kDelInterval, FieldKind::kNumber, 1, 12},
    {IDC_OPT_START_DATE, settings::kStartDate, FieldKind::kNumber, 1, 30},
    {IDC_OPT_LIMIT_TIME, settings::kLimitTime, FieldKind::kNumber, 1, 720},
    {IDC_OPT_ALARM_SOUND, settings::kAlarmSound, FieldKind::kCheck},
    {IDC_OPT_ALARM_WINDOW, settings::kAlarmWindow, FieldKind::kCheck},
    {IDC_OPT_DAY_LIMIT, settings::kDayLimit, FieldKind::kNumber, 1, 24},
    {IDC_OPT_DROP_WINDOW, settings::kDropWindow, FieldKind::kCheck},
    {IDC_OPT_TRAN_WINDOW, settings::kTranWindow, FieldKind::kCheck},
    {IDC_OPT_START_RUN, settings::kStartRun, FieldKind::kCheck},
    {IDC_OPT_HANG_UP, settings::kHangUp, FieldKind::kCheck},
    // Hours added to or taken from this month's time; a month has at most 720.
    {IDC_OPT_ADJUST, settings::kAdjust, FieldKind::kNumber, 0, 720},
    {IDC_OPT_ADJUST_ADD, settings::kRadioAdjust, FieldKind::kRadio},
}};

// The advanced dial options dialog (155).
inline constexpr std::array<DialogField, 6> kAdvancedFields{{
    {IDC_ADV_IDLE_FLAG, settings::kIdleFlag, FieldKind::kCheck},
    {IDC_ADV_LOCAL_FLAG, settings::kLocalFlag, FieldKind::kCheck},
    {IDC_ADV_COUNT, settings::kDialCount, FieldKind::kNumber, 1, 99},
    {IDC_ADV_IDLE, settings::kIdleMinutes, FieldKind::kNumber, 1, 59},
    {IDC_ADV_WAIT, settings::kDialWait, FieldKind::kNumber, 5, 99},
    {IDC_ADV_START_UP_CONNECT, settings::kStartUpConnect, FieldKind::kCheck},
}};

// The stored values of `fields`, in their order.
std::vector<int> LoadFields(std::span<const DialogField> fields, SettingsStore& store);
void SaveFields(std::span<const DialogField> fields, const std::vector<int>& values,
                SettingsStore& store);

// Saves the options dialog's values, then marks the month the correction of
// this month's time belongs to: the accounting month of `now`, the one the
// history shows and compares with.
void SaveOptions(const std::vector<int>& values, SettingsStore& store, std::int64_t now);

}  // namespace hourlink
