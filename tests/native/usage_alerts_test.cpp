// The data allowance's alarm and the early warnings: once per month per limit,
// across restarts, and again after the limit changes; the day the present
// pace reaches a limit.
#include "core/session/usage_alerts.h"

#include <gtest/gtest.h>

#include "core/accounting/data_allowance.h"
#include "core/history/usage_chart.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "core/ui/option_fields.h"
#include "test_records.h"
#include "time_zone.h"

namespace hourlink {
namespace {

using test::At;

constexpr std::int64_t kMB = kBytesPerMegabyte;

TEST(ProjectLimitDay, PaceUnderAtAndOverTheLimit) {
    struct Case {
        int elapsed, total;
        std::int64_t used, limit;
        int day;
    } cases[] = {
        {10, 30, 40, 100, 24},   // 4 a day: 100 by the end of day 25
        {10, 30, 30, 100, -1},   // 3 a day: 90 by the period's end
        {10, 30, 100, 300, 29},  // exactly on the last day
        {10, 30, 100, 100, 9},   // reached today
        {10, 30, 500, 100, 9},   // over: the last day begun, not an earlier one
        {10, 30, 0, 100, -1},    // nothing used yet
        {0, 30, 50, 100, -1},    // the period lies ahead
        {10, 30, 40, 0, -1},     // no limit
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProjectLimitDay(c.elapsed, c.total, c.used, c.limit), c.day)
            << c.elapsed << " " << c.used << "/" << c.limit;
    }
}

class UsageAlertsTest : public ::testing::Test {
  protected:
    test::ScopedTimeZone zone_{"CET-1CEST,M3.5.0,M10.5.0/3"};
    MemorySettingsStore store;
    bool locked = false;
    UsageAlerts alerts{store, [this] { return locked; }};

    // December 2026 of start day 1, on the 10th at noon.
    MonthUsage December(std::int64_t bytes, std::int64_t billed = 0) {
        return {{2026, 12}, 1, At(2026, 12, 10, 12), billed, bytes};
    }
};

TEST_F(UsageAlertsTest, TheAllowanceAlarmsOncePerMonthAndAgainAfterItChanges) {
    WriteSetting(store, settings::kDataLimit, 2000);  // 2 GB
    WriteSetting(store, settings::kAlarmWindow, 1);
    EXPECT_EQ(alerts.CheckData(December(2000 * kMB - 1)).action, LimitDecision::Action::kNone);
    const LimitDecision first = alerts.CheckData(December(2000 * kMB));
    EXPECT_EQ(first.action, LimitDecision::Action::kShowPopup);
    EXPECT_EQ(first.popupText, L"流量超过设定值2 GB");
    EXPECT_FALSE(first.dropAlarm);
    EXPECT_EQ(alerts.CheckData(December(2100 * kMB)).action, LimitDecision::Action::kNone);

    // A restart remembers it; the next month alarms again.
    UsageAlerts restarted(store);
    EXPECT_EQ(restarted.CheckData(December(2100 * kMB)).action, LimitDecision::Action::kNone);
    MonthUsage january = December(2100 * kMB);
    january.month = {2027, 1};
    EXPECT_EQ(restarted.CheckData(january).action, LimitDecision::Action::kShowPopup);

    // A raised allowance, confirmed in the options, alarms at its own crossing.
    std::vector<int> values = LoadFields(kOptionsFields, store);
    values[12] = 2500;
    SaveOptions(values, store, At(2027, 1, 10));
    EXPECT_EQ(alerts.CheckData(january).action, LimitDecision::Action::kNone);
    january.bytes = 2500 * kMB;
    EXPECT_EQ(alerts.CheckData(january).action, LimitDecision::Action::kShowPopup);
}

TEST_F(UsageAlertsTest, HangUpCountsDownAndTheLockHangsUpAtEveryTick) {
    WriteSetting(store, settings::kDataLimit, 1);
    WriteSetting(store, settings::kHangUp, 1);
    locked = true;
    for (int tick = 0; tick < 2; ++tick) {
        EXPECT_EQ(alerts.CheckData(December(kMB)).action, LimitDecision::Action::kHangUpNow);
    }
    locked = false;
    const LimitDecision countdown = alerts.CheckData(December(kMB));
    EXPECT_EQ(countdown.action, LimitDecision::Action::kConfirmHangUp);
    EXPECT_EQ(countdown.countdownText, UsageAlerts::kDataCountdownText);  // not the hours' text
    EXPECT_EQ(alerts.CheckData(December(kMB)).action, LimitDecision::Action::kNone);
    // No allowance, no alarm, whatever was used.
    WriteSetting(store, settings::kDataLimit, 0);
    WriteSetting(store, settings::kDataAlarmed, 0);
    EXPECT_EQ(alerts.CheckData(December(999'999 * kMB)).action, LimitDecision::Action::kNone);
}

TEST_F(UsageAlertsTest, EachLimitWarnsOnceAMonthAtItsShareWithThePacesDay) {
    WriteSetting(store, settings::kLimitTime, 60);
    WriteSetting(store, settings::kDataLimit, 2000);
    // 47 hours and 1.5 GB by the 10th: below 80 % of both.
    EXPECT_TRUE(alerts.CheckWarnings(December(1500 * kMB, 47 * 3600)).empty());
    // 48 hours in 10 days reach 60 on the 13th; 1.7 GB reach 2 GB on the 12th.
    auto warnings = alerts.CheckWarnings(December(1700 * kMB, 48 * 3600));
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].text, L"本月已用80%的上网时间（48小时）。按目前速度，将于12月13日用完。");
    EXPECT_EQ(warnings[1].text, L"本月已用85%的流量（1.70 GB）。按目前速度，将于12月12日用完。");
    EXPECT_FALSE(warnings[0].sound);
    EXPECT_TRUE(alerts.CheckWarnings(December(1900 * kMB, 50 * 3600)).empty());

    // A changed share lets them come again; a limit already used up only
    // marks its month (its alarm speaks), and the sound follows the option.
    std::vector<int> values = LoadFields(kOptionsFields, store);
    values[13] = 50;
    values[3] = 1;  // AlarmSound
    SaveOptions(values, store, At(2026, 12, 10));
    warnings = alerts.CheckWarnings(December(2000 * kMB, 31 * 3600));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].text, L"本月已用51%的上网时间（31小时）。按目前速度，将于12月20日用完。");
    EXPECT_TRUE(warnings[0].sound);
    EXPECT_EQ(ReadSetting(store, settings::kDataWarned), 202612);

    // A share of 0 warns of nothing.
    WriteSetting(store, settings::kWarnShare, 0);
    MonthUsage january = December(1900 * kMB, 59 * 3600);
    january.month = {2027, 1};
    EXPECT_TRUE(alerts.CheckWarnings(january).empty());
}

TEST(DataAllowance, GigabytesAreTypedAndShownToTheMegabyte) {
    for (const auto& [text, megabytes] :
         std::initializer_list<std::pair<const wchar_t*, int>>{{L"0", 0},
                                                               {L" 2 ", 2000},
                                                               {L"1.5", 1500},
                                                               {L"0.002", 2},
                                                               {L"10000", 10'000'000},
                                                               {L".5", 500},
                                                               {L"3.", 3000}}) {
        EXPECT_EQ(ParseGigabytes(text), megabytes) << text;
    }
    for (const wchar_t* bad : {L"", L"-1", L"10000.001", L"10001", L"1.2345", L"1,5", L"1.2.3",
                               L".", L"２", L"99999999999999999999"}) {
        EXPECT_FALSE(ParseGigabytes(bad)) << bad;
    }
    for (const auto& [megabytes, text] : std::initializer_list<std::pair<int, const wchar_t*>>{
             {0, L"0"}, {2000, L"2"}, {1500, L"1.5"}, {2, L"0.002"}, {10'000'000, L"10000"}}) {
        EXPECT_EQ(GigabytesText(megabytes), text);
        EXPECT_EQ(ParseGigabytes(GigabytesText(megabytes)), megabytes);
    }
    for (const auto& [bytes, text] : std::initializer_list<std::pair<std::int64_t, const wchar_t*>>{
             {999'999, L"999 KB"},
             {12'345'678, L"12.3 MB"},
             {1'234'567'890, L"1.23 GB"},
             {123'456'789'012, L"123.5 GB"}}) {
        EXPECT_EQ(FormatDataAmount(bytes), text);
    }
}

}  // namespace
}  // namespace hourlink
