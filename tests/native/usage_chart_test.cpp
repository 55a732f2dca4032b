// The usage chart's arithmetic (days of a period, the running session, the
// average, the projection and the day the monthly limit is reached) and the
// CSV of the sessions a month lists.
#include "core/history/usage_chart.h"

#include <gtest/gtest.h>

#include "test_records.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "core/history/session_csv.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "time_zone.h"

namespace hourlink {
namespace {

using test::At;
using test::Finished;

constexpr std::int64_t kHour = 3600;

// Local times in China Standard Time, which has no summer time.
class UsageChartTest : public ::testing::Test {
  protected:
    test::ScopedTimeZone zone_{"CST-8"};

    // December 2026 with the default start day 21: 2026-11-21 to 2026-12-21,
    // thirty days. `perDay` billed seconds on each of the first `days` days.
    static UsageChartInput December(std::int64_t now, int days, std::int64_t perDay) {
        UsageChartInput in;
        in.month = {2026, 12};
        in.startDay = 21;
        in.period = AccountingPeriod(in.month, in.startDay);
        in.now = now;
        in.showingCurrentMonth = true;
        for (int d = 0; d < days; ++d) {
            const std::int64_t start = At(2026, 11, 21 + d, 9);
            in.sessions.push_back({start, perDay, perDay});
            in.figures.monthTotal += perDay;
            in.figures.monthBilled += perDay;
        }
        return in;
    }
};

TEST_F(UsageChartTest, APaceOverTheLimitNamesTheDayItIsReached) {
    // 22 hours in the first ten days: 2:12:00 a day, 66 hours by the end;
    // the 60 hours are used up on the 28th day, 18 December.
    const UsageChart chart = MakeUsageChart(December(At(2026, 11, 30, 12), 10, 7920));
    ASSERT_EQ(chart.days.size(), 30u);
    EXPECT_EQ(chart.days.front().date, (CalendarDate{2026, 11, 21}));
    EXPECT_EQ(chart.days.back().date, (CalendarDate{2026, 12, 20}));
    EXPECT_EQ(chart.today, 9);
    EXPECT_EQ(chart.elapsedDays, 10);
    EXPECT_EQ(chart.used, 22 * kHour);
    EXPECT_EQ(chart.averagePerDay, 7920);
    EXPECT_EQ(chart.projected, 66 * kHour);
    EXPECT_EQ(chart.outlook, UsageOutlook::kWillReach);
    EXPECT_EQ(chart.limitDay, 27);
    EXPECT_EQ(chart.days[9].cumulative, 22 * kHour);
    EXPECT_EQ(chart.PaceAt(29), 60 * kHour);
    const UsageChartTexts texts = MakeUsageChartTexts(chart);
    EXPECT_EQ(texts.projection, L"按目前速度，将于12月18日达到每月限额");
    EXPECT_EQ(texts.title, L"2026年12月用时 (从2026/11/21开始计时)");
    EXPECT_EQ(texts.summary,
              L"已用 22:00:00，日均 2:12:00，预计全月 66:00:00；每月限额60小时，每日限额5小时");
}

TEST_F(UsageChartTest, APaceUnderTheLimitOrALimitAlreadyReached) {
    // One hour a day: 30 hours by the end, never the limit.
    UsageChart chart = MakeUsageChart(December(At(2026, 11, 30, 12), 10, kHour));
    EXPECT_EQ(chart.projected, 30 * kHour);
    EXPECT_EQ(chart.outlook, UsageOutlook::kWithinLimit);
    EXPECT_EQ(chart.limitDay, -1);
    EXPECT_EQ(MakeUsageChartTexts(chart).projection, L"按目前速度，本期不会达到每月限额");

    // Seven hours a day: the 60 hours were passed on the ninth day.
    chart = MakeUsageChart(December(At(2026, 11, 30, 12), 10, 7 * kHour));
    EXPECT_EQ(chart.outlook, UsageOutlook::kReached);
    EXPECT_EQ(chart.limitDay, 8);
    EXPECT_EQ(MakeUsageChartTexts(chart).projection, L"已于11月29日达到每月限额");
}

TEST_F(UsageChartTest, FirstAndLastDayOfThePeriod) {
    // The first morning: one day begun, its hour and the running session's
    // half hour make the average.
    UsageChartInput in = December(At(2026, 11, 21, 10), 1, kHour);
    in.runningSeconds = 1800;
    UsageChart chart = MakeUsageChart(in);
    EXPECT_EQ(chart.today, 0);
    EXPECT_EQ(chart.elapsedDays, 1);
    EXPECT_EQ(chart.days[0].online, kHour + 1800);
    EXPECT_EQ(chart.used, kHour + 1800);
    EXPECT_EQ(chart.projected, 45 * kHour);
    EXPECT_EQ(chart.outlook, UsageOutlook::kWithinLimit);

    // The same session while the list shows another month: not counted.
    in.showingCurrentMonth = false;
    EXPECT_EQ(MakeUsageChart(in).used, kHour);

    // The last evening, 59 hours used: the period ends below the limit, and
    // the limit day can only be within the period.
    chart = MakeUsageChart(December(At(2026, 12, 20, 23), 30, 59 * kHour / 30));
    EXPECT_EQ(chart.today, 29);
    EXPECT_EQ(chart.elapsedDays, 30);
    EXPECT_EQ(chart.projected, 59 * kHour);
    EXPECT_EQ(chart.outlook, UsageOutlook::kWithinLimit);

    // After the period: everything is history.
    chart = MakeUsageChart(December(At(2026, 12, 21, 0), 30, kHour));
    EXPECT_EQ(chart.today, -1);
    EXPECT_EQ(chart.elapsedDays, 30);
    EXPECT_EQ(MakeUsageChartTexts(chart).projection, L"本期未达到每月限额");
    // Before it: nothing to project.
    chart = MakeUsageChart(December(At(2026, 11, 20, 23), 0, 0));
    EXPECT_EQ(chart.outlook, UsageOutlook::kNotStarted);
}

TEST_F(UsageChartTest, StartDay30InFebruaryBeginsInMarch) {
    // February has no 30th: the period runs from 2 March (1 March in a leap
    // year) to 30 March.
    std::vector<UsageDay> days = PeriodDays(AccountingPeriod({2027, 3}, 30));
    ASSERT_EQ(days.size(), 28u);
    EXPECT_EQ(days.front().date, (CalendarDate{2027, 3, 2}));
    EXPECT_EQ(days.back().date, (CalendarDate{2027, 3, 29}));
    days = PeriodDays(AccountingPeriod({2028, 3}, 30));
    ASSERT_EQ(days.size(), 29u);
    EXPECT_EQ(days.front().date, (CalendarDate{2028, 3, 1}));

    UsageChartInput in;
    in.month = {2027, 3};
    in.startDay = 30;
    in.period = AccountingPeriod(in.month, in.startDay);
    in.now = At(2027, 3, 8, 12);  // the seventh day
    in.sessions = {{At(2027, 3, 2, 1), 14 * kHour, 14 * kHour}};
    in.figures = {14 * kHour, 14 * kHour, 0};
    const UsageChart chart = MakeUsageChart(in);
    EXPECT_EQ(chart.elapsedDays, 7);
    EXPECT_EQ(chart.projected, 56 * kHour);  // 2 hours a day for 28 days
    EXPECT_EQ(MakeUsageChartTexts(chart).title, L"2027年3月用时 (从2027/3/2开始计时)");
}

TEST_F(UsageChartTest, DaysComeFromTheListsOwnSumsAndFilter) {
    // The chart reads the list: only the sessions its filter lists, its
    // corrected figures (the correction starts the running total) and its
    // limits from the settings.
    RecordTable table;
    table.Replace({Finished(At(2026, 11, 22, 9), 3600, 2, "ADSL"),
                   Finished(At(2026, 11, 22, 20), 1800, 1, "Modem"),
                   Finished(At(2026, 11, 23, 9), 7200, 2, "ADSL")});
    ManualClock clock(At(2026, 11, 23, 12));
    HistoryList list(table, clock);
    list.Start(21);
    list.ComputeWindow();
    list.Fill({"", 2});
    MemorySettingsStore settings;
    WriteSetting(settings, settings::kAdjust, 2);
    WriteSetting(settings, settings::kStartMonth, 12);
    WriteSetting(settings, settings::kLimitTime, 10);
    WriteSetting(settings, settings::kDayLimit, 5);
    list.Adjust(settings, 12);

    const UsageChart chart = MakeUsageChart(list, settings, clock.Now(), 0);
    EXPECT_EQ(chart.month, (YearMonth{2026, 12}));
    EXPECT_EQ(chart.days[1].online, 3600);
    EXPECT_EQ(chart.days[2].online, 7200);
    EXPECT_EQ(chart.used, list.Figures().monthBilled);
    EXPECT_EQ(chart.used, 5 * kHour);
    EXPECT_EQ(chart.days[0].cumulative, 2 * kHour);
    EXPECT_EQ(chart.days[2].cumulative, 5 * kHour);
    EXPECT_EQ(chart.limit, 10 * kHour);
    EXPECT_EQ(chart.dayLimit, 5 * kHour);
}

TEST_F(UsageChartTest, HourAxisIsRoundAndHoldsTheLargestValue) {
    EXPECT_EQ(ChooseHourAxis(0), (HourAxis{1, 1}));
    EXPECT_EQ(ChooseHourAxis(5 * kHour), (HourAxis{5, 1}));
    EXPECT_EQ(ChooseHourAxis(5 * kHour + 1), (HourAxis{6, 1}));
    EXPECT_EQ(ChooseHourAxis(7 * kHour), (HourAxis{8, 2}));
    EXPECT_EQ(ChooseHourAxis(66 * kHour), (HourAxis{80, 20}));
}

TEST_F(UsageChartTest, DataBarsHoldTheDaysBytesAndTheRunningSession) {
    // The running session's bytes go on today's bar and into the month, the
    // allowance comes from the settings. A session begun exactly at the
    // period's start is the month before's, as the list holds it: it lands on
    // that month's last bar, not lost and not counted twice.
    std::vector<SessionRecord> records{Finished(At(2026, 11, 20, 23, 59, 59), 60),
                                       Finished(At(2026, 11, 21, 0), 600),
                                       Finished(At(2026, 11, 22, 9), 600)};
    records[0].bytesReceived = 999'000'000;
    records[1].bytesReceived = 300'000'000;
    records[1].bytesSent = 20'000'000;
    records[2].bytesReceived = 4'000'000'000;  // 32 bits each way, summed in 64
    records[2].bytesSent = 1'000'000'000;
    RecordTable table;
    table.Replace(std::move(records));
    ManualClock clock(At(2026, 11, 23, 12));
    HistoryList list(table, clock);
    list.Start(21);
    list.ComputeWindow();
    list.Fill({});
    MemorySettingsStore settings;
    WriteSetting(settings, settings::kDataLimit, 6000);  // 6 GB

    UsageChart chart =
        MakeUsageChart(list, settings, clock.Now(), 1800, 180'000'000, UsageMeasure::kData);
    EXPECT_EQ(chart.limit, 6'000'000'000);
    EXPECT_EQ(chart.dayLimit, 0);
    const std::int64_t bars[] = {0, 5'000'000'000, 180'000'000, 0};
    const std::int64_t cumulative[] = {0, 5'000'000'000, 5'180'000'000, 5'180'000'000};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(chart.BarOf(chart.days[i]), bars[i]) << i;
        EXPECT_EQ(chart.days[i].cumulative, cumulative[i]) << i;
    }
    EXPECT_EQ(chart.used, 5'180'000'000);
    EXPECT_EQ(chart.days[2].online, 1800);  // time goes on beside it
    const UsageChartTexts texts = MakeUsageChartTexts(chart);
    EXPECT_EQ(texts.title, L"2026年12月流量 (从2026/11/21开始计时)");
    EXPECT_EQ(texts.summary, L"已用 5.18 GB，日均 1.73 GB，预计全月 51.80 GB；每月流量限额6 GB");

    list.SetMonth({2026, 11});
    list.ComputeWindow();
    list.Fill({});
    chart = MakeUsageChart(list, settings, clock.Now(), 1800, 180'000'000, UsageMeasure::kData);
    EXPECT_EQ(chart.BarOf(chart.days.back()), 1'319'000'000);
    EXPECT_EQ(chart.used, 1'319'000'000);
}

TEST_F(UsageChartTest, DataAllowanceOutlooks) {
    // December 2026 (30 days) with `perDay` bytes on each of the first `days`
    // days, seen at `now`, against a 6 GB allowance or none.
    constexpr std::int64_t kMB = 1'000'000;
    const struct {
        std::int64_t now;
        int days;
        std::int64_t perDay;
        std::int64_t allowance;
        UsageOutlook outlook;
        int limitDay;
        const wchar_t* projection;
    } cases[] = {
        // 2.2 GB in ten days: 6.6 GB by the end, the 6 GB used up on 18 December.
        {At(2026, 11, 30, 12), 10, 220 * kMB, 6000 * kMB, UsageOutlook::kWillReach, 27,
         L"按目前速度，将于12月18日达到每月流量限额"},
        // 700 MB a day: past 6 GB on the ninth day.
        {At(2026, 11, 30, 12), 10, 700 * kMB, 6000 * kMB, UsageOutlook::kReached, 8,
         L"已于11月29日达到每月流量限额"},
        {At(2026, 11, 30, 12), 10, 100 * kMB, 6000 * kMB, UsageOutlook::kWithinLimit, -1,
         L"按目前速度，本期不会达到每月流量限额"},
        {At(2026, 12, 21, 0), 30, 100 * kMB, 6000 * kMB, UsageOutlook::kWithinLimit, -1,
         L"本期未达到每月流量限额"},
        // No allowance: nothing to reach, however much is used.
        {At(2026, 11, 30, 12), 10, 700 * kMB, 0, UsageOutlook::kNoLimit, -1, L"未设流量限额"},
        {At(2026, 11, 20, 23), 0, 0, 6000 * kMB, UsageOutlook::kNotStarted, -1, L"本期尚未开始"},
    };
    for (const auto& c : cases) {
        UsageChartInput in = December(c.now, c.days, kHour);
        in.measure = UsageMeasure::kData;
        in.dataAllowance = c.allowance;
        for (SummedSession& s : in.sessions) s.bytes = c.perDay;
        in.figures.monthBytes = c.perDay * c.days;
        const UsageChart chart = MakeUsageChart(in);
        EXPECT_EQ(chart.outlook, c.outlook) << c.projection;
        EXPECT_EQ(chart.limitDay, c.limitDay) << c.projection;
        const UsageChartTexts texts = MakeUsageChartTexts(chart);
        EXPECT_EQ(texts.projection, c.projection);
        // No allowance, no line to draw.
        EXPECT_EQ(texts.limitLabel.empty(), c.allowance == 0) << c.projection;
    }
}

TEST_F(UsageChartTest, ByteAxisIsRoundAndHoldsTheLargestValue) {
    const struct {
        std::int64_t max;
        ByteAxis axis;
    } cases[] = {
        {0, {1'000'000, 200'000}},            // an empty month: 0 to 1 MB
        {1'000'001, {1'200'000, 200'000}},    //
        {7'000'000, {8'000'000, 2'000'000}},  //
        {6'600'000'000, {8'000'000'000, 2'000'000'000}},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseByteAxis(c.max), c.axis) << c.max;
    for (const auto& [value, label] : {std::pair{0LL, L"0"},
                                       {200'000LL, L"200 KB"},
                                       {1'000'000LL, L"1 MB"},
                                       {1'200'000LL, L"1.2 MB"},
                                       {1'500'000'000LL, L"1.5 GB"}}) {
        EXPECT_EQ(AxisLabel(UsageMeasure::kData, value), label);
    }
}

TEST_F(UsageChartTest, CsvOfATwoRowMonth) {
    // What "导出CSV..." writes for the rows of a listed month: a byte-order
    // mark, the header, ISO local times, seconds and h:mm:ss, billed minutes,
    // the type, the name from GBK, the address and the bytes; a name with a
    // comma and quotes is quoted.
    SessionRecord first =
        Finished(At(2026, 11, 25, 9), 3723, 2, "\xbf\xed\xb4\xf8\xc1\xac\xbd\xd3");
    first.bytesReceived = 1000;
    first.bytesSent = 2000;
    const SessionRecord second = Finished(At(2026, 12, 1, 20), 61, 3, "VPN \"a\", b");
    RecordTable table;
    table.Replace({Finished(At(2026, 11, 10, 9), 60), first, second});
    ManualClock clock(At(2026, 12, 5));
    HistoryList list(table, clock);
    list.Start(21);
    list.ComputeWindow();
    const auto rows = list.Fill({}).rows;
    std::vector<SessionRecord> shown;
    for (const ListedRow& row : rows) shown.push_back(*table.Get(row.record));

    const GbkDecoder decode = [](std::string_view gbk) {
        return gbk == "\xbf\xed\xb4\xf8\xc1\xac\xbd\xd3" ? std::string("宽带连接")
                                                         : std::string(gbk);
    };
    EXPECT_EQ(
        SessionCsv(shown, decode),
        "\xEF\xBB\xBF"
        "开始时间,结束时间,上网秒数,上网用时,上网分钟,类型,名称,客户机IP,接受字节,发送字节\r\n"
        "2026-11-25T09:00:00,2026-11-25T10:02:03,3723,1:02:03,63,ADSL上网,宽带连接,10.0.0.2,"
        "1000,2000\r\n"
        "2026-12-01T20:00:00,2026-12-01T20:01:01,61,0:01:01,1,虚拟专用网,\"VPN \"\"a\"\", b\","
        "10.0.0.2,0,0\r\n");
    // A session still running: its end, duration and minutes are empty.
    SessionRecord open = first;
    open.end = 0;
    open.duration = 0;
    EXPECT_EQ(SessionCsvLine(open, decode),
              "2026-11-25T09:00:00,,,,,ADSL上网,宽带连接,10.0.0.2,1000,2000");
    // Names a spreadsheet would take for formulas are written as text; others,
    // a minus inside included, as they are.
    for (const auto& [name, cell] :
         {std::pair{"=1+2", "'=1+2"},
          {"+A1", "'+A1"},
          {"-2", "'-2"},
          {"@SUM(A1)", "'@SUM(A1)"},
          {"=HYPERLINK(\"x\",\"y\")", "\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\""},
          {"a-b", "a-b"}}) {
        SessionRecord named = Finished(At(2026, 12, 1, 20), 61, 3, name);
        const std::string line = SessionCsvLine(named, nullptr);
        EXPECT_NE(line.find(std::string(",") + cell + ",10.0.0.2,"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace hourlink
