#include "core/accounting/accounting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <utility>

#include "core/accounting/limits.h"
#include "core/base/time_format.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "time_zone.h"

namespace hourlink {
namespace {

using Action = LimitDecision::Action;

// Central European time with summer time from the last Sunday of March, so a
// period that spans the switch is an hour short, as local midnights make it.
class LocalTime : public ::testing::Test {
  protected:
    test::ScopedTimeZone zone_{"CET-1CEST,M3.5.0,M10.5.0/3"};

    // The local date and time of a moment, as the history view shows it.
    static std::wstring Local(std::int64_t t) { return FormatLocalTime(t); }
};

// --- the calendar ---

TEST(Calendar, DaysInMonthFollowsTheGregorianLeapRules) {
    EXPECT_EQ(DaysInMonth(2004, 2), 29);
    EXPECT_EQ(DaysInMonth(2003, 2), 28);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    for (int month : {4, 6, 9, 11}) EXPECT_EQ(DaysInMonth(2004, month), 30) << month;
    for (int month : {1, 3, 5, 7, 8, 10, 12}) EXPECT_EQ(DaysInMonth(2004, month), 31) << month;
    EXPECT_EQ(DaysInMonth(0, 1), 0);
    EXPECT_EQ(DaysInMonth(2004, 0), 0);
    EXPECT_EQ(DaysInMonth(2004, 13), 0);
    EXPECT_EQ(DaysInMonth(2004, -1), 0);
}

TEST(Calendar, MonthStepsCrossTheYearAndShortenTheDay) {
    EXPECT_EQ(PreviousMonth(YearMonth{2004, 1}), (YearMonth{2003, 12}));
    EXPECT_EQ(NextMonth(YearMonth{2003, 12}), (YearMonth{2004, 1}));
    EXPECT_EQ(NextMonth(YearMonth{2004, 6}), (YearMonth{2004, 7}));
    // There is no month before January of year 1.
    EXPECT_EQ(PreviousMonth(YearMonth{1, 1}), (YearMonth{1, 1}));

    EXPECT_EQ(NextMonth(CalendarDate{2004, 1, 31}), (CalendarDate{2004, 2, 29}));
    EXPECT_EQ(NextMonth(CalendarDate{2003, 1, 31}), (CalendarDate{2003, 2, 28}));
    EXPECT_EQ(PreviousMonth(CalendarDate{2004, 3, 31}), (CalendarDate{2004, 2, 29}));
    EXPECT_EQ(NextMonth(CalendarDate{2004, 12, 31}), (CalendarDate{2005, 1, 31}));
    EXPECT_EQ(PreviousMonth(CalendarDate{2004, 1, 15}), (CalendarDate{2003, 12, 15}));
}

// --- accounting month labels and periods ---

TEST_F(LocalTime, LateStartDayBillsTheDaysFromItToTheNextMonth) {
    // Start day 21: the 25th of March is April's, the 20th still March's.
    EXPECT_EQ(AccountingMonthLabel(2004, 3, 25, 21), (YearMonth{2004, 4}));
    EXPECT_EQ(AccountingMonthLabel(2004, 3, 21, 21), (YearMonth{2004, 4}));
    EXPECT_EQ(AccountingMonthLabel(2004, 3, 20, 21), (YearMonth{2004, 3}));
    EXPECT_EQ(AccountingMonthLabel(2004, 12, 25, 21), (YearMonth{2005, 1}));

    const Period april = AccountingPeriod({2004, 4}, 21);
    EXPECT_EQ(Local(april.begin), L"2004/03/21 00:00:00");
    EXPECT_EQ(Local(april.end), L"2004/04/21 00:00:00");
    // Summer time began on 28 March: the period is an hour short of 31 days.
    EXPECT_EQ(april.end - april.begin, 31 * 86400 - 3600);

    const Period march = AccountingPeriod({2004, 3}, 21);
    EXPECT_EQ(Local(march.begin), L"2004/02/21 00:00:00");
    EXPECT_EQ(march.end, april.begin);  // months follow without gap or overlap

    const Period january = AccountingPeriod({2005, 1}, 21);
    EXPECT_EQ(Local(january.begin), L"2004/12/21 00:00:00");
    EXPECT_EQ(Local(january.end), L"2005/01/21 00:00:00");
}

TEST_F(LocalTime, EarlyStartDayBillsTheDaysBeforeItToThePreviousMonth) {
    // Start day 5: the 3rd of March is February's, the 5th March's.
    EXPECT_EQ(AccountingMonthLabel(2004, 3, 3, 5), (YearMonth{2004, 2}));
    EXPECT_EQ(AccountingMonthLabel(2004, 3, 5, 5), (YearMonth{2004, 3}));
    EXPECT_EQ(AccountingMonthLabel(2004, 1, 4, 5), (YearMonth{2003, 12}));

    const Period february = AccountingPeriod({2004, 2}, 5);
    EXPECT_EQ(Local(february.begin), L"2004/02/05 00:00:00");
    EXPECT_EQ(Local(february.end), L"2004/03/05 00:00:00");
    const Period december = AccountingPeriod({2003, 12}, 5);
    EXPECT_EQ(Local(december.end), L"2004/01/05 00:00:00");
}

TEST_F(LocalTime, StartDayOneIsTheCalendarMonth) {
    for (int day = 1; day <= 31; ++day) {
        EXPECT_EQ(AccountingMonthLabel(2004, 7, day, 1), (YearMonth{2004, 7})) << day;
    }
    const Period july = AccountingPeriod({2004, 7}, 1);
    EXPECT_EQ(Local(july.begin), L"2004/07/01 00:00:00");
    EXPECT_EQ(Local(july.end), L"2004/08/01 00:00:00");
}

TEST_F(LocalTime, StartDayFebruaryLacksRunsIntoMarch) {
    // Start day 30: March's period would begin on 30 February.
    const Period leap = AccountingPeriod({2004, 3}, 30);
    EXPECT_EQ(Local(leap.begin), L"2004/03/01 00:00:00");
    EXPECT_EQ(Local(leap.end), L"2004/03/30 00:00:00");
    const Period common = AccountingPeriod({2003, 3}, 30);
    EXPECT_EQ(Local(common.begin), L"2003/03/02 00:00:00");
    // The last days of February belong to February's period, which ends where
    // March's begins.
    EXPECT_EQ(AccountingPeriod({2004, 2}, 30).end, leap.begin);
}

TEST_F(LocalTime, StartDayOutsideTheOptionsRangeIsTakenAsTheNearestBound) {
    EXPECT_EQ(AccountingMonthLabel(2004, 3, 3, 0), (YearMonth{2004, 3}));    // as day 1
    EXPECT_EQ(AccountingMonthLabel(2004, 3, 30, 99), (YearMonth{2004, 4}));  // as day 30
    EXPECT_EQ(AccountingPeriod({2004, 3}, -5), AccountingPeriod({2004, 3}, 1));
}

TEST_F(LocalTime, EveryDayLiesInThePeriodOfItsLabel) {
    // Every day from 1992 to 2037, from midnight to midnight, for every start
    // day: a day outside its label's period would be counted in no month.
    std::map<std::pair<int, int>, Period> periods;  // by label and start day
    std::tm tm{};
    tm.tm_year = 1992 - 1900;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    std::int64_t midnight = std::mktime(&tm);
    int faults = 0;
    while (tm.tm_year <= 2037 - 1900) {
        const CalendarDate date{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
        ++tm.tm_mday;
        tm.tm_isdst = -1;
        const std::int64_t next = std::mktime(&tm);
        for (int s = 1; s <= 30; ++s) {
            const YearMonth label = AccountingMonthLabel(date.year, date.month, date.day, s);
            Period& p = periods[{label.year * 12 + label.month, s}];
            if (p.end == 0) p = AccountingPeriod(label, s);
            if (p.begin <= midnight && next <= p.end) continue;
            ADD_FAILURE() << date.year << "/" << date.month << "/" << date.day << ", start day "
                          << s << ": labelled " << label.year << "/" << label.month
                          << ", whose period is " << Local(p.begin) << " to " << Local(p.end);
            if (++faults == 5) return;
        }
        midnight = next;
    }
}

TEST(CountingSince, NamesTheDayThePeriodBegins) {
    EXPECT_EQ(CountingSinceText({2004, 3}, 5), L"从2004/3/5开始计时");
    EXPECT_EQ(CountingSinceText({2004, 1}, 21), L"从2003/12/21开始计时");
    EXPECT_EQ(CountingSinceText({2004, 7}, 1), L"从2004/7/1开始计时");
    // Never a day that does not exist: 30 February is shown as the day the
    // period actually begins.
    EXPECT_EQ(CountingSinceText({2004, 3}, 30), L"从2004/3/1开始计时");
    EXPECT_EQ(CountingSinceText({2003, 3}, 30), L"从2003/3/2开始计时");
}

// --- the texts of the month's, today's and the session's time ---

TEST(TickTexts, AddTheRunningSessionToTheCurrentMonth) {
    // 10 h used, billed 10 h 01 min; today 23 h 59 min 30 s; session 1 h 00 min 45 s.
    const AccountingFigures figures{36000, 36060, 86370};
    const TickTexts t = MakeTickTexts(figures, 3645, true);
    EXPECT_EQ(t.session, L"1:00:45");
    EXPECT_EQ(t.month, L"11:00:45");
    // (36060 + 3645) / 60 + 1 = 662 minutes.
    EXPECT_EQ(t.accumulatedMinutes, 662);
    EXPECT_EQ(t.accumulated, L"累计用时:11小时,2分钟");
    // Today's hours wrap at 24: 25:00:15 shows as 01:00:15.
    EXPECT_EQ(t.today, L" 今日用时:01:00:15");
    EXPECT_EQ(t.statusPane, L"累计用时:11小时,2分钟 今日用时:01:00:15");

    EXPECT_EQ(TickTrayTip(t, false),
              L"累计用时:11小时,2分钟\n 今日用时:01:00:15\r\n   本次:1:00:45");
    EXPECT_EQ(TickTrayTip(t, true),
              L"超时\n累计用时:11小时,2分钟\n 今日用时:01:00:15\r\n   本次:1:00:45");
}

TEST(TickTexts, AnotherMonthShownLeavesTheSessionOut) {
    const AccountingFigures figures{200 * 3600 + 5, 200 * 3600 + 60, 0};
    const TickTexts t = MakeTickTexts(figures, 125, false);
    EXPECT_EQ(t.session, L"0:02:05");
    EXPECT_EQ(t.month, L"200:00:05");  // hours not wrapped
    EXPECT_EQ(t.accumulatedMinutes, 200 * 60 + 1);
    EXPECT_EQ(t.accumulated, L"累计用时:200小时,1分钟");
    // Today's time still counts the session.
    EXPECT_EQ(t.today, L" 今日用时:00:02:05");
}

TEST(OfflineTexts, ShowTheFinishedSessionsOnly) {
    const AccountingFigures figures{100 * 3600 + 61, 100 * 3600 + 120, 25 * 3600 + 7};
    const OfflineTexts t = MakeOfflineTexts(figures);
    EXPECT_EQ(t.month, L"100:01:01");
    EXPECT_EQ(t.today, L"1:00:07");
    EXPECT_EQ(t.accumulated, L"累计用时:100小时,2分钟");
    EXPECT_EQ(t.trayTip, L"累计用时:100小时,2分钟\r\n今日用时:1:00:07");
    EXPECT_EQ(t.statusPane, L"累计用时:100小时,2分钟;今日用时:1:00:07");
}

// --- the manual correction ---

class Adjustment : public ::testing::Test {
  protected:
    void Set(int adjust, int subtract, int month) {
        WriteSetting(store_, settings::kAdjust, adjust);
        WriteSetting(store_, settings::kRadioAdjust, subtract);
        WriteSetting(store_, settings::kStartMonth, month);
    }
    MemorySettingsStore store_;
    const AccountingFigures sums_{50000, 50040, 7000};
};

TEST_F(Adjustment, AddsOrSubtractsHoursWhileItsMonthIsShown) {
    Set(10, 1, 3);
    EXPECT_EQ(ApplyAdjustment(store_, 3, sums_), (AccountingFigures{14000, 14040, 7000}));
    Set(10, 0, 3);
    EXPECT_EQ(ApplyAdjustment(store_, 3, sums_), (AccountingFigures{86000, 86040, 7000}));
    EXPECT_EQ(ReadSetting(store_, settings::kAdjust), 10);  // kept while March is shown

    // No correction: the sums as they are.
    Set(0, 1, 3);
    EXPECT_EQ(ApplyAdjustment(store_, 3, sums_), sums_);
}

TEST_F(Adjustment, LapsesWhenAnotherMonthIsShown) {
    Set(10, 1, 3);
    EXPECT_EQ(ApplyAdjustment(store_, 4, sums_), sums_);
    EXPECT_EQ(ReadSetting(store_, settings::kAdjust), 0);
    // Back on March the correction is gone for good.
    EXPECT_EQ(ApplyAdjustment(store_, 3, sums_), sums_);
}

TEST_F(Adjustment, SubtractingMoreThanWasUsedLeavesNoTime) {
    Set(20, 1, 3);
    const AccountingFigures corrected = ApplyAdjustment(store_, 3, sums_);
    EXPECT_EQ(corrected, (AccountingFigures{0, 0, 7000}));
    EXPECT_EQ(MakeOfflineTexts(corrected).accumulated, L"累计用时:0小时,0分钟");
}

// --- the limits ---

class Limits : public ::testing::Test {
  protected:
    void Options(int alarmWindow, int hangUp) {
        WriteSetting(store_, settings::kAlarmWindow, alarmWindow);
        WriteSetting(store_, settings::kHangUp, hangUp);
    }
    // The accumulated minutes of a tick of the current month.
    static int Minutes(std::int64_t billed, std::int64_t session) {
        return MakeTickTexts({billed, billed, 0}, session, true).accumulatedMinutes;
    }

    MemorySettingsStore store_;
    bool locked_ = false;
    LimitMonitor monitor_{store_, [this] { return locked_; }};
};

TEST_F(Limits, MonthlyAlarmAt3599MinutesShowsThePopupOnce) {
    WriteSetting(store_, settings::kLimitTime, 60);
    Options(1, 0);
    const std::int64_t billed = 3597 * 60;
    // Billed time and session reach 3598 minutes at 60 s into the session.
    EXPECT_EQ(Minutes(billed, 59), 3598);
    LimitDecision d = monitor_.CheckMonth(Minutes(billed, 59));
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_FALSE(d.dropAlarm);
    EXPECT_FALSE(monitor_.MonthAlarmRaised());

    EXPECT_EQ(Minutes(billed, 60), 3599);
    d = monitor_.CheckMonth(Minutes(billed, 60));
    EXPECT_EQ(d.action, Action::kShowPopup);
    EXPECT_EQ(d.popupText, L"时间超过设定值60小时");
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kMonth);
    EXPECT_TRUE(monitor_.MonthAlarmRaised());

    // The following ticks (even one arriving while the popup is open) do nothing.
    d = monitor_.CheckMonth(Minutes(billed, 61));
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_FALSE(d.dropAlarm);
    // WM_LIMIT_ALARM shows it again while the alarm is raised.
    EXPECT_EQ(monitor_.MonthPopup().action, Action::kShowPopup);

    // After a disconnect the next session alarms again.
    monitor_.OnDisconnect();
    EXPECT_EQ(monitor_.CheckMonth(3599).action, Action::kShowPopup);
}

TEST_F(Limits, MonthlyAlarmHangsUpOrStaysSilentAsConfigured) {
    WriteSetting(store_, settings::kLimitTime, 60);
    Options(1, 1);  // HangUp wins over the popup
    LimitDecision d = monitor_.CheckMonth(3599);
    EXPECT_EQ(d.action, Action::kConfirmHangUp);
    EXPECT_FALSE(d.dropAlarm);
    EXPECT_EQ(monitor_.CheckMonth(3600).action, Action::kNone);

    monitor_.OnDisconnect();
    Options(0, 0);
    d = monitor_.CheckMonth(3599);
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_FALSE(d.dropAlarm);
    EXPECT_TRUE(monitor_.MonthAlarmRaised());
    EXPECT_EQ(monitor_.DropAlarm(), DropAlarmState::kNone);
}

TEST_F(Limits, MonthlyAlarmLowersWithoutActionWhenALighterMonthIsShown) {
    WriteSetting(store_, settings::kLimitTime, 60);
    Options(1, 0);
    ASSERT_EQ(monitor_.CheckMonth(3599).action, Action::kShowPopup);
    LimitDecision d = monitor_.CheckMonth(100);
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kNone);
    EXPECT_FALSE(monitor_.MonthAlarmRaised());
    // The popup's own guard now shows nothing.
    d = monitor_.MonthPopup();
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kNone);

    // With HangUp the drop window's state is not touched on the way down.
    Options(1, 1);
    ASSERT_EQ(monitor_.CheckMonth(3599).action, Action::kConfirmHangUp);
    EXPECT_FALSE(monitor_.CheckMonth(100).dropAlarm);
}

TEST_F(Limits, LockedProgramHangsUpAtOnceAndKeepsTheMonthlyAlarmLowered) {
    WriteSetting(store_, settings::kLimitTime, 60);
    locked_ = true;
    Options(0, 1);
    // Every tick over the limit hangs up at once: nobody can cancel.
    EXPECT_EQ(monitor_.CheckMonth(3599).action, Action::kHangUpNow);
    EXPECT_FALSE(monitor_.MonthAlarmRaised());
    EXPECT_EQ(monitor_.CheckMonth(3600).action, Action::kHangUpNow);

    // The popup's guard sees the alarm lowered and shows nothing.
    Options(1, 0);
    const LimitDecision d = monitor_.CheckMonth(3600);
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kNone);

    // Unlocked, the alarm is raised once as usual.
    locked_ = false;
    EXPECT_EQ(monitor_.CheckMonth(3600).action, Action::kShowPopup);
    EXPECT_TRUE(monitor_.MonthAlarmRaised());
    // Giving the password lowers it.
    monitor_.ClearMonthAlarm();
    EXPECT_FALSE(monitor_.MonthAlarmRaised());
}

TEST_F(Limits, SettingsAreReadAtEveryCheck) {
    Options(1, 0);
    // A missing limit is the default 60 hours, not zero hours.
    EXPECT_EQ(monitor_.CheckMonth(3597).action, Action::kNone);
    EXPECT_EQ(monitor_.CheckMonth(3599).popupText, L"时间超过设定值60小时");
    monitor_.OnDisconnect();
    // A limit confirmed in the options takes effect at the next tick.
    WriteSetting(store_, settings::kLimitTime, 100);
    EXPECT_EQ(monitor_.CheckMonth(3599).action, Action::kNone);
    EXPECT_EQ(monitor_.CheckMonth(5999).popupText, L"时间超过设定值100小时");
}

TEST_F(Limits, DailyAlarmAt300MinutesFiresOnce) {
    WriteSetting(store_, settings::kDayLimit, 5);
    Options(1, 0);
    const std::int64_t today = 4 * 3600 + 59 * 60;
    LimitDecision d = monitor_.CheckDay(today, 59);
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_FALSE(d.dropAlarm);

    d = monitor_.CheckDay(today, 60);
    EXPECT_EQ(d.action, Action::kShowPopup);
    EXPECT_EQ(d.popupText, L"时间超过每天设定值5小时");
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kDay);
    EXPECT_TRUE(monitor_.DayAlarmRaised());
    for (int s = 61; s < 200; ++s) {
        d = monitor_.CheckDay(today, s);
        EXPECT_EQ(d.action, Action::kNone) << s;
        EXPECT_FALSE(d.dropAlarm) << s;
    }

    // A new day (today's total starts again) lowers it.
    d = monitor_.CheckDay(0, 200);
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kNone);
    EXPECT_FALSE(monitor_.DayAlarmRaised());
}

TEST_F(Limits, DailyAlarmWithHangUpOrNeitherOption) {
    WriteSetting(store_, settings::kDayLimit, 5);
    const std::int64_t today = 4 * 3600 + 59 * 60;
    Options(1, 1);
    LimitDecision d = monitor_.CheckDay(today, 60);
    EXPECT_EQ(d.action, Action::kConfirmHangUp);
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kDay);

    monitor_.OnDisconnect();
    locked_ = true;
    EXPECT_EQ(monitor_.CheckDay(today, 60).action, Action::kHangUpNow);
    locked_ = false;

    // Neither a popup nor a hang-up, but the drop window still shows the alarm.
    monitor_.OnDisconnect();
    Options(0, 0);
    d = monitor_.CheckDay(today, 60);
    EXPECT_EQ(d.action, Action::kNone);
    EXPECT_EQ(d.dropAlarm, DropAlarmState::kDay);
    EXPECT_EQ(monitor_.DropAlarm(), DropAlarmState::kDay);

    // Confirming the options lowers the daily alarm, which may then fire again.
    EXPECT_EQ(monitor_.OnOptionsConfirmed(), DropAlarmState::kNone);
    EXPECT_FALSE(monitor_.DayAlarmRaised());
    EXPECT_EQ(monitor_.CheckDay(today, 61).dropAlarm, DropAlarmState::kDay);
}

}  // namespace
}  // namespace hourlink
