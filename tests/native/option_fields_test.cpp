// The options dialogs' numbers: each field's range and messages, as the user
// must meet them, and what a confirmed options dialog writes.
#include "core/ui/option_fields.h"

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "core/base/time_format.h"
#include "core/settings/memory_settings_store.h"

namespace hourlink {
namespace {

const DialogField* FindField(std::wstring_view key) {
    using Table = std::span<const DialogField>;
    for (Table table : {Table(kOptionsFields), Table(kAdvancedFields)}) {
        for (const DialogField& f : table) {
            if (f.setting.key == key) return &f;
        }
    }
    return nullptr;
}

std::wstring Range(int low, int high) {
    return L"“请填入一个在" + std::to_wstring(low) + L"和" + std::to_wstring(high) +
           L"之间的整数。”";
}

TEST(OptionFields, EachNumberIsRefusedOutsideItsRangeWithItsBounds) {
    struct Case {
        const wchar_t* setting;
        int low, high;
    };
    // Months kept, start day, monthly and daily limits, the correction of
    // this month's time; dial attempts, idle minutes, seconds between tries.
    const Case cases[] = {
        {L"DelInterval", 1, 12}, {L"StartDate", 1, 30}, {L"LimitTime", 1, 720},
        {L"DayLimit", 1, 24},    {L"Adjust", 0, 720},   {L"count", 1, 99},
        {L"idel", 1, 59},        {L"wait", 5, 99},
    };
    for (const Case& c : cases) {
        const DialogField* f = FindField(c.setting);
        ASSERT_NE(f, nullptr) << c.setting;
        auto check = [&](std::wstring text) { return CheckInteger(text, f->min, f->max); };
        EXPECT_EQ(check(std::to_wstring(c.low)).value, c.low) << c.setting;
        EXPECT_EQ(check(L" " + std::to_wstring(c.high) + L" ").value, c.high) << c.setting;
        EXPECT_EQ(check(std::to_wstring(c.low - 1)).message, Range(c.low, c.high)) << c.setting;
        EXPECT_EQ(check(std::to_wstring(c.high + 1)).message, Range(c.low, c.high)) << c.setting;
        for (const wchar_t* bad : {L"", L"abc", L"3x", L"99999999999"}) {
            EXPECT_EQ(check(bad).message, L"请键入一个整数。") << c.setting << bad;
        }
    }
}

TEST(OptionFields, UnsignedFieldsRefuseSignsWithThePositiveIntegerMessage) {
    EXPECT_EQ(CheckUnsigned(L"23", 23).value, 23);
    EXPECT_EQ(CheckUnsigned(L"24", 23).message, Range(0, 23));
    EXPECT_EQ(CheckUnsigned(L"-1", 23).message, L"“请填入一个正整数。”");
    EXPECT_EQ(CheckUnsigned(L"", 23).message, L"“请填入一个正整数。”");
}

TEST(OptionFields, ConfirmedOptionsMarkTheCurrentAccountingMonth) {
    MemorySettingsStore store;
    std::vector<int> values = LoadFields(kOptionsFields, store);
    values[1] = 21;  // start day
    values[10] = 5;  // adjust
    values[11] = 0;  // "增加"
    // 25 March with months starting on the 21st is in April's month, which
    // the history compares the mark with.
    SaveOptions(values, store, *FromLocalTime(2024, 3, 25, 12, 0, 0));
    EXPECT_EQ(store.ReadInt(L"Property", L"StartMonth", 0), 4);
    EXPECT_EQ(store.ReadInt(L"Property", L"Adjust", -1), 5);
    EXPECT_EQ(store.ReadInt(L"Property", L"RadioAdjust", -1), 0);
    SaveOptions(values, store, *FromLocalTime(2024, 3, 10, 12, 0, 0));
    EXPECT_EQ(store.ReadInt(L"Property", L"StartMonth", 0), 3);
}

}  // namespace
}  // namespace hourlink
