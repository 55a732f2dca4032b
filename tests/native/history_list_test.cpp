// The history list's model: month windows, filtered sums, the live row of a
// running session, the column sort's comparison and the selection totals.
#include "core/history/history_list.h"

#include <gtest/gtest.h>

#include "test_records.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "time_zone.h"

namespace hourlink {
namespace {

using test::At;
using test::Finished;

// Local times in China Standard Time, which has no summer time.
class HistoryListTest : public ::testing::Test {
  protected:
    test::ScopedTimeZone zone_{"CST-8"};

    static ConnectionStatus Status(std::uint32_t start, const char* name = "ADSL") {
        ConnectionStatus s;
        s.online = 1;
        s.start = start;
        s.type = 2;
        s.SetName(name);
        s.SetClientIp("10.0.0.9");
        return s;
    }

    // A listed row as the list shows it: the texts made from its record now.
    HistoryRow Shown(const ListedRow& row) const {
        return MakeHistoryRow(table.Get(row.record).value(), row.record);
    }

    RecordTable table;
    ManualClock clock{At(2004, 3, 25, 12)};
    HistoryList list{table, clock};
};

TEST_F(HistoryListTest, MonthAtStartFollowsTheStartDay) {
    list.Start(21);  // the 25th of March with start day 21: April
    EXPECT_EQ(list.Month(), (YearMonth{2004, 4}));
    EXPECT_EQ(list.ShownPeriod(), (Period{At(2004, 3, 21), At(2004, 4, 21)}));
    EXPECT_EQ(list.Midnight(), At(2004, 3, 25));

    list.Start(1);
    EXPECT_EQ(list.Month(), (YearMonth{2004, 3}));
    clock.Set(At(2004, 3, 1, 0, 0, 1));
    list.Start(1);
    EXPECT_EQ(list.Month(), (YearMonth{2004, 3}));
}

TEST_F(HistoryListTest, MonthWindowPutsARecordAtItsStartIntoThePreviousMonth) {
    const Period april = AccountingPeriod({2004, 4}, 21);  // 21 March to 21 April
    const Period march = AccountingPeriod({2004, 3}, 21);
    const std::vector<SessionRecord> records{
        Finished(At(2004, 3, 1), 60),            // 0: March
        Finished(At(2004, 3, 21), 60),           // 1: exactly at April's start: March
        Finished(At(2004, 3, 21, 0, 0, 1), 60),  // 2: April's first
        Finished(At(2004, 4, 10), 60),           // 3
        Finished(At(2004, 4, 21), 60),           // 4: exactly at April's end: still April
        Finished(At(2004, 4, 21, 0, 0, 1), 60),  // 5: May
    };
    EXPECT_EQ(FindMonthWindow(records, april), (MonthWindow{2, 4}));
    EXPECT_EQ(FindMonthWindow(records, march), (MonthWindow{0, 1}));
    EXPECT_TRUE(FindMonthWindow(records, AccountingPeriod({2004, 6}, 21)).Empty());
    EXPECT_TRUE(FindMonthWindow(records, AccountingPeriod({2004, 1}, 21)).Empty());
    EXPECT_TRUE(FindMonthWindow(std::span<const SessionRecord>{}, april).Empty());
    // An unrepresentable period never selects anything.
    EXPECT_TRUE(FindMonthWindow(records, Period{}).Empty());

    // Slots without a start at the table's end do not end the window.
    std::vector<SessionRecord> tail = records;
    tail.resize(tail.size() + 3);
    EXPECT_EQ(FindMonthWindow(tail, AccountingPeriod({2004, 5}, 21)), (MonthWindow{5, 5}));

    // Only records after the month's period follow: the month is empty.
    const std::vector<SessionRecord> later{Finished(At(2004, 3, 2), 60)};
    EXPECT_TRUE(FindMonthWindow(later, AccountingPeriod({2004, 2}, 1)).Empty());
}

TEST_F(HistoryListTest, RecordsOf2020AndLaterAreListedAndSummedButNotThoseBefore1992) {
    table.Replace({Finished(At(1991, 12, 31, 23), 600), Finished(At(2021, 5, 3), 3600),
                   Finished(At(2030, 5, 4), 1800), Finished(At(2037, 5, 5), 61)});
    list.SetStartDay(1);
    list.SetMonth({2021, 5});
    list.ComputeWindow();
    EXPECT_EQ(list.Window(), (MonthWindow{1, 1}));
    auto listing = list.Fill({});
    ASSERT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(Shown(listing.rows[0]).texts[kColumnStart], L"2021/05/03 00:00:00");
    EXPECT_EQ(listing.sums.monthOnline, 3600);

    list.SetMonth({2037, 5});
    list.ComputeWindow();
    listing = list.Fill({});
    ASSERT_EQ(listing.rows.size(), 1u);
    EXPECT_EQ(listing.sums.monthBilled, 60);

    list.SetMonth({1991, 12});
    list.ComputeWindow();
    EXPECT_EQ(list.Window(), (MonthWindow{0, 0}));
    listing = list.Fill({});
    EXPECT_TRUE(listing.rows.empty());
    EXPECT_EQ(listing.sums, HistorySums{});
    EXPECT_EQ(listing.firstStart, At(1991, 12, 31, 23));
}

TEST_F(HistoryListTest, FillSumsOnlyTheFinishedRowsTheFilterAccepts) {
    SessionRecord open;
    open.marker = kRecordMarker;
    open.start = At(2004, 3, 25, 11);
    open.type = 2;
    open.SetName("ADSL");
    table.Replace({
        Finished(At(2004, 3, 1, 8), 3600, 1, "Modem 56K"),    // not today
        Finished(At(2004, 3, 10, 8), 62, 2, "ADSL"),          // billed 120
        Finished(At(2004, 3, 25, 9), 1800, 2, "ADSL", 2),     // today, recovered
        Finished(At(2004, 3, 25, 10), 600, 3, "Office VPN"),  // today
        open,                                                 // running, never summed
    });
    list.Start(1);
    list.ComputeWindow();
    EXPECT_EQ(list.Window(), (MonthWindow{0, 4}));

    auto all = list.Fill({});
    ASSERT_EQ(all.rows.size(), 5u);
    EXPECT_EQ(all.sums, (HistorySums{3600 + 62 + 1800 + 600, 3600 + 120 + 1800 + 600, 2400, 2400}));
    EXPECT_EQ(all.firstStart, At(2004, 3, 1, 8));
    const HistoryRow modem = Shown(all.rows[0]);
    EXPECT_EQ(modem.texts[kColumnEnd], L"2004/03/01 09:00:00");
    EXPECT_EQ(modem.texts[kColumnDuration], L"1:00:00");
    EXPECT_EQ(modem.texts[kColumnMinutes], L"60");
    EXPECT_EQ(modem.texts[kColumnType], L"拨号上网");
    EXPECT_EQ(modem.texts[kColumnClientIp], L"10.0.0.2");
    EXPECT_EQ(modem.name, "Modem 56K");
    EXPECT_EQ(all.rows[0].image, kImageNormal);
    EXPECT_EQ(all.rows[2].image, kImageContinued);
    EXPECT_EQ(Shown(all.rows[3]).texts[kColumnType], L"虚拟专用网");
    const HistoryRow running = Shown(all.rows[4]);
    EXPECT_EQ(running.texts[kColumnEnd], kOpenCell);
    EXPECT_EQ(running.texts[kColumnDuration], kOpenCell);
    EXPECT_EQ(running.texts[kColumnMinutes], kOpenCell);
    EXPECT_EQ(running.texts[kColumnType], L"ADSL上网");

    auto adsl = list.Fill({"", 2});
    EXPECT_EQ(adsl.rows.size(), 3u);
    EXPECT_EQ(adsl.sums, (HistorySums{1862, 1920, 1800, 1800}));
    // A name filter matches either way round: "VPN" is in the name, and the
    // name "ADSL" is in "ADSL (PPPoE)".
    EXPECT_EQ(list.Fill({"VPN", kAnyType}).rows.size(), 1u);
    EXPECT_EQ(list.Fill({"ADSL (PPPoE)", kAnyType}).sums.monthOnline, 1862);
    EXPECT_TRUE(list.Fill({"Nothing", kAnyType}).rows.empty());
    EXPECT_EQ(list.Sums(), HistorySums{});
}

TEST_F(HistoryListTest, TrafficCellsOnlyWhenBytesWereSent) {
    SessionRecord r = Finished(At(2004, 3, 2), 60);
    r.bytesReceived = 3000000000u;  // above 2^31: shown unsigned
    EXPECT_EQ(MakeHistoryRow(r, 0).texts[kColumnReceived], L"");
    r.bytesSent = 4096;
    const HistoryRow row = MakeHistoryRow(r, 0);
    EXPECT_EQ(row.texts[kColumnReceived], L"3000000000");
    EXPECT_EQ(row.texts[kColumnSent], L"4096");
}

TEST_F(HistoryListTest, DayRollClearsTheDaySumsAtLocalMidnight) {
    table.Replace({Finished(At(2004, 3, 25, 1), 600)});
    list.Start(1);
    list.ComputeWindow();
    EXPECT_EQ(list.Fill({}).sums.todayOnline, 600);
    clock.Set(At(2004, 3, 25, 23, 59, 59));
    EXPECT_FALSE(list.RollDay());
    EXPECT_EQ(list.Sums().todayOnline, 600);
    clock.Set(At(2004, 3, 26, 0, 0, 10));
    EXPECT_TRUE(list.RollDay());
    EXPECT_EQ(list.Midnight(), At(2004, 3, 26));
    EXPECT_EQ(list.Sums().todayOnline, 0);
    EXPECT_EQ(list.Fill({}).sums.todayOnline, 0);
    EXPECT_EQ(list.Sums().monthOnline, 600);
    // A clock set back before the stored midnight starts the day anew.
    clock.Set(At(2004, 3, 24, 12));
    EXPECT_TRUE(list.RollDay());
    EXPECT_EQ(list.Midnight(), At(2004, 3, 24));
}

TEST_F(HistoryListTest, ManualAdjustmentAppliesToTheMonthItWasEnteredFor) {
    table.Replace({Finished(At(2004, 3, 2), 7200)});
    list.Start(1);
    list.ComputeWindow();
    list.Fill({});
    MemorySettingsStore store;
    WriteSetting(store, settings::kAdjust, 1);
    WriteSetting(store, settings::kStartMonth, 3);
    WriteSetting(store, settings::kRadioAdjust, 1);
    list.Adjust(store, 3);
    EXPECT_EQ(list.Figures(), (AccountingFigures{3600, 3600, 0}));
    list.Adjust(store, 4);
    EXPECT_EQ(list.Figures(), (AccountingFigures{7200, 7200, 0}));
    EXPECT_EQ(ReadSetting(store, settings::kAdjust), 0);
}

TEST_F(HistoryListTest, TodaysFigureFollowsTheDayRollAtOnce) {
    // Six hours used today, then a new day begins: whoever asks for the figures
    // sees today's time from 0 without a relisting.
    clock.Set(At(2004, 3, 25, 23));
    table.Replace({Finished(At(2004, 3, 25, 8), 6 * 3600)});
    list.Start(1);
    list.ComputeWindow();
    list.Fill({});
    EXPECT_EQ(list.Figures().todayTotal, 6 * 3600);
    clock.Set(At(2004, 3, 26, 0, 1, 10));
    ASSERT_TRUE(list.RollDay());
    EXPECT_EQ(list.Figures(), (AccountingFigures{6 * 3600, 6 * 3600, 0}));
}

TEST_F(HistoryListTest, LiveRowFollowsTheWatchersDecisionAboutTheRecord) {
    table.Replace({Finished(At(2004, 3, 1, 8), 600), Finished(At(2004, 3, 2), 600)});
    list.Start(1);
    list.ComputeWindow();

    ConnectionStatus first = Status(At(2004, 3, 25, 11), "ADSL");
    first.continuation = 1;  // up before the program started: the live row still smiles
    const auto row = list.OnSessionStart(first);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->record, 2u);
    const HistoryRow texts = Shown(*row);
    EXPECT_EQ(texts.texts[kColumnStart], L"2004/03/25 11:00:00");
    EXPECT_EQ(texts.texts[kColumnType], L"ADSL上网");
    EXPECT_EQ(texts.texts[kColumnClientIp], L"10.0.0.9");
    EXPECT_EQ(row->image, kImageNormal);
    EXPECT_EQ(table.Size(), 3u);
    EXPECT_EQ(list.Window(), (MonthWindow{0, 2}));

    // The program restarts 8 seconds later and the watcher continues the
    // unfinished record: no second row, however far apart within its rule.
    ConnectionStatus again = Status(At(2004, 3, 25, 11, 0, 8));
    again.continuesRecord = 1;
    EXPECT_FALSE(list.OnSessionStart(again));
    EXPECT_EQ(table.Size(), 3u);
    // Without the watcher's word, 1 second apart is another session.
    ASSERT_TRUE(list.OnSessionStart(Status(At(2004, 3, 25, 11, 0, 9))));
    EXPECT_EQ(table.Size(), 4u);

    // A refill shows the running session with blank end, duration and minutes.
    const auto listing = list.Fill({});
    ASSERT_EQ(listing.rows.size(), 4u);
    EXPECT_EQ(Shown(listing.rows.back()).texts[kColumnDuration], kOpenCell);
    EXPECT_EQ(listing.sums.monthOnline, 1200);

    ConnectionStatus end = Status(At(2004, 3, 25, 11, 0, 9));
    end.online = 0;
    end.end = end.start + 3600;
    end.duration = 3600;
    end.billed = 3600;
    list.OnSessionEnd(end, 1000, 2000);
    const SessionRecord done = *table.Last();
    EXPECT_EQ(done.duration, 3600);
    EXPECT_EQ(done.end, end.end);
    EXPECT_EQ(done.bytesReceived, 1000u);
    EXPECT_EQ(done.bytesSent, 2000u);
    EXPECT_EQ(list.Window(), (MonthWindow{0, 3}));
    EXPECT_EQ(list.Fill({}).sums.monthOnline, 1200 + 3600);
}

TEST_F(HistoryListTest, EndsCompleteOnlyTheirOwnRecord) {
    const SessionRecord finished = Finished(At(2004, 3, 25, 11), 2);
    table.Replace({finished});
    list.Start(1);
    list.ComputeWindow();
    // 1 second after a finished 2-second session: a new session, a new slot.
    ASSERT_TRUE(list.OnSessionStart(Status(At(2004, 3, 25, 11, 0, 1))));
    EXPECT_EQ(table.Size(), 2u);
    EXPECT_EQ(*table.Get(0), finished);

    ConnectionStatus end = Status(At(2004, 3, 25, 11, 0, 1));
    end.duration = 60;
    end.end = end.start + 60;
    list.OnSessionEnd(end, 0, 0);
    const SessionRecord second = *table.Last();
    EXPECT_EQ(second.duration, 60);
    // An end whose start never reached the list (it came after its end) adds
    // the finished session and leaves the one before it alone.
    ConnectionStatus late = Status(At(2004, 3, 25, 12));
    late.duration = 30;
    late.end = late.start + 30;
    list.OnSessionEnd(late, 0, 0);
    ASSERT_EQ(table.Size(), 3u);
    EXPECT_EQ(*table.Get(1), second);
    EXPECT_EQ(table.Last()->duration, 30);

    // No start time, or a connection that is never timed: nothing happens.
    EXPECT_FALSE(list.OnSessionStart(Status(0)));
    ConnectionStatus infrared = Status(At(2004, 3, 25, 13));
    infrared.type = 4;
    EXPECT_FALSE(list.OnSessionStart(infrared));
    list.OnSessionEnd(infrared, 0, 0);
    EXPECT_EQ(table.Size(), 3u);

    // Showing February: the session goes into the table but not into the list.
    list.SetMonth({2004, 2});
    list.ComputeWindow();
    EXPECT_FALSE(list.OnSessionStart(Status(At(2004, 3, 25, 13))));
    EXPECT_EQ(table.Size(), 4u);
    EXPECT_TRUE(list.Window().Empty());
}

TEST_F(HistoryListTest, TreeSelectionChoosesTypeOrNameFilter) {
    EXPECT_EQ(TreeSelectionFilter(L"计算机上网设备列表", "x"), HistoryFilter{});
    EXPECT_EQ(TreeSelectionFilter(L"拨号及ISDN上网", "x"), (HistoryFilter{"", 1}));
    EXPECT_EQ(TreeSelectionFilter(L"ADSL上网", "x"), (HistoryFilter{"", 2}));
    EXPECT_EQ(TreeSelectionFilter(L"虚拟专用网", "x"), (HistoryFilter{"", 3}));
    EXPECT_EQ(TreeSelectionFilter(L"我的宽带", "gbk"), (HistoryFilter{"gbk", kAnyType}));
}

TEST(SortCompare, ChoosesTheKindFromTheFirstText) {
    EXPECT_EQ(ClassifySortText(L"9:59:59"), SortKind::Duration);
    EXPECT_EQ(ClassifySortText(L"123:00:00"), SortKind::Duration);
    EXPECT_EQ(ClassifySortText(L"1234"), SortKind::Integer);
    EXPECT_EQ(ClassifySortText(L""), SortKind::Integer);
    EXPECT_EQ(ClassifySortText(L"2004/03/01 08:00:00"), SortKind::DateTime);
    EXPECT_EQ(ClassifySortText(L"192.168.1.20"), SortKind::Address);
    EXPECT_EQ(ClassifySortText(L"ADSL上网"), SortKind::Text);
    EXPECT_EQ(ClassifySortText(kOpenCell), SortKind::Text);
}

TEST(SortCompare, ComparesEachKindByItsValues) {
    // Durations by seconds, not by text: 9:59:59 comes before 10:00:00.
    EXPECT_LT(CompareSortTexts(L"9:59:59", L"10:00:00"), 0);
    EXPECT_GT(CompareSortTexts(L"100:00:00", L"99:59:59"), 0);
    EXPECT_EQ(CompareSortTexts(L"1:00:00", L"1:00:00"), 0);
    // Integers of any length by value.
    EXPECT_LT(CompareSortTexts(L"9", L"10"), 0);
    EXPECT_GT(CompareSortTexts(L"123456789012345678901", L"99"), 0);
    EXPECT_EQ(CompareSortTexts(L"007", L"7"), 0);
    EXPECT_LT(CompareSortTexts(L"", L"1"), 0);
    // Date-times field by field; a blank cell reads as the earliest.
    EXPECT_LT(CompareSortTexts(L"2004/03/01 09:00:00", L"2004/03/01 10:00:00"), 0);
    EXPECT_GT(CompareSortTexts(L"2005/01/01 00:00:00", L"2004/12/31 23:59:59"), 0);
    EXPECT_GT(CompareSortTexts(L"2004/03/01 09:00:00", kOpenCell), 0);
    // Addresses part by part: 10.0.0.9 before 10.0.0.10.
    EXPECT_LT(CompareSortTexts(L"10.0.0.9", L"10.0.0.10"), 0);
    EXPECT_LT(CompareSortTexts(L"192.168.2.1", L"192.168.10.1"), 0);
    // Text through the given comparison.
    EXPECT_LT(CompareSortTexts(L"ADSL", L"VPN"), 0);
    const TextCompare reversed = [](std::wstring_view a, std::wstring_view b) {
        return b.compare(a);
    };
    EXPECT_GT(CompareSortTexts(L"ADSL", L"VPN", reversed), 0);
}

TEST(SortCompare, OrderOfAColumnKeepsEqualRowsInPlaceBothWays) {
    const std::vector<std::wstring> durations{L"1:00:00", L"10:00:00", L"1:00:00", L"9:59:59",
                                              L"1:00:00"};
    EXPECT_EQ(SortOrder(durations, false), (std::vector<std::uint32_t>{0, 2, 4, 3, 1}));
    EXPECT_EQ(SortOrder(durations, true), (std::vector<std::uint32_t>{1, 3, 0, 2, 4}));
    EXPECT_TRUE(SortOrder({}, true).empty());
}

TEST(TypeAhead, FindsTheFirstRowFromTheStartThatBeginsWithWhatWasTyped) {
    const std::vector<std::wstring> starts{L"2004/03/02 08:00", L"2004/03/12 19:00",
                                           L"2004/03/25 08:00", L"2004/03/12 20:00", L"ADSL"};
    const RowText textOf = [&](std::size_t row) { return std::wstring_view(starts[row]); };
    struct Case {
        int start;
        const wchar_t* typed;
        bool partial;
        bool wrap;
        int found;
    };
    const Case cases[] = {
        {0, L"2004/03/1", true, true, 1},    // the first from the start
        {2, L"2004/03/1", true, true, 3},    // on from the start, not from the top
        {4, L"2004/03/0", true, true, 0},    // round to the top
        {4, L"2004/03/0", true, false, -1},  // not round without wrapping
        {-1, L"adsl", true, true, 4},        // either case; no start is the top
        {9, L"2004/03/25", true, true, 2},   // a start past the end is the top
        {0, L"2004/03/12", false, true, -1}, // a whole text must match whole
        {0, L"", true, true, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindTypedRow(starts.size(), c.start, c.typed, c.partial, c.wrap, textOf), c.found)
            << c.start << " " << std::wstring(c.typed).size();
    }
    EXPECT_EQ(FindTypedRow(0, 0, L"2004", true, true, textOf), -1);
}

TEST(SortCompare, SecondClickOnAColumnTurnsTheOrderRound) {
    ColumnSortState sort;
    EXPECT_FALSE(sort.Click(2));  // ascending
    EXPECT_TRUE(sort.Click(2));   // descending
    EXPECT_FALSE(sort.Click(2));
    EXPECT_TRUE(sort.Click(2));
    EXPECT_FALSE(sort.Click(0));  // another column: ascending again
    EXPECT_EQ(sort.Column(), 0);
    EXPECT_TRUE(sort.Ascending());
}

TEST(SelectionTotals, ThreeRowsOfAnHour) {
    EXPECT_FALSE(SelectionTotals::Enabled(0));
    EXPECT_FALSE(SelectionTotals::Enabled(1));
    EXPECT_TRUE(SelectionTotals::Enabled(2));
    SelectionTotals totals;
    for (int i = 0; i < 3; ++i) totals.Add(L"1:00:00", L"60");
    const auto texts = totals.Texts();
    EXPECT_EQ(texts[0], L"所选3项");
    EXPECT_EQ(texts[1], L"用时: 0天\r\n03小时00分00秒\r\n");
    EXPECT_EQ(texts[2], L"所选项使用分钟: 180分钟\r\n");
}

TEST(SelectionTotals, DaysAndRunningRows) {
    SelectionTotals totals;
    totals.Add(L"25:30:15", L"1531");
    totals.Add(L"", L"");              // counted, nothing added
    totals.Add(kOpenCell, kOpenCell);  // a running session: blanks read as 0
    totals.Add(L"100:00:01", L"6001");
    EXPECT_EQ(totals.Count(), 4);
    EXPECT_EQ(totals.Seconds(), 25 * 3600 + 30 * 60 + 15 + 100 * 3600 + 1);
    const auto texts = totals.Texts();
    EXPECT_EQ(texts[0], L"所选4项");
    EXPECT_EQ(texts[1], L"用时: 5天\r\n05小时30分16秒\r\n");
    EXPECT_EQ(texts[2], L"所选项使用分钟: 7532分钟\r\n");
    EXPECT_EQ(ParseDurationText(L"1:30"), 3630);
}

}  // namespace
}  // namespace hourlink
