// The accounting month and the running totals: which month a date is billed
// in, the period of seconds that month covers, and the texts the frame shows
// of the month's, today's and the running session's time.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

#include "core/settings/settings.h"
#include "core/settings/settings_store.h"

namespace hourlink {

struct YearMonth {
    int year = 0;
    int month = 0;  // 1 to 12
    friend bool operator==(const YearMonth&, const YearMonth&) = default;
};

struct CalendarDate {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to DaysInMonth
    friend bool operator==(const CalendarDate&, const CalendarDate&) = default;
    // Earlier dates first.
    friend auto operator<=>(const CalendarDate&, const CalendarDate&) = default;
};

// Days of a month of the Gregorian calendar; 0 for year 0 and for a month
// outside 1 to 12.
int DaysInMonth(int year, int month);

// The month after; December is followed by January of the next year.
YearMonth NextMonth(YearMonth ym);
// The month before; January is preceded by December of the previous year, but
// only while the year is above 1 (January of year 1 has no month before it and
// is returned unchanged).
YearMonth PreviousMonth(YearMonth ym);
// The same month steps for a date: the day is lowered to the last day of the
// new month when that month is shorter.
CalendarDate NextMonth(CalendarDate date);
CalendarDate PreviousMonth(CalendarDate date);

// The calendar functions below take a start day as an argument; one outside
// 1 to 30 (which ReadStartDay never gives) is taken as the nearer of the two.

// The accounting month a date belongs to, named after the calendar month in
// which most of its period lies: with a start day below 16 the days before the
// start day belong to the previous month; from 16 on, the days from the start
// day on belong to the next month. The date always lies in the month's
// AccountingPeriod, also where a start day the month lacks moves a period's
// beginning into the next month.
YearMonth AccountingMonthLabel(int year, int month, int day, int startDay);

// A half-open range of seconds since 1970: begin <= t < end.
struct Period {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    friend bool operator==(const Period&, const Period&) = default;
};

// The local-time period of an accounting month: from the start day 00:00:00
// of its first calendar month to the start day of the following one. A start
// day the month lacks runs on into the next month (day 30 of February is the
// 1st or 2nd of March), as the C library's mktime normalises it. A month the
// C library cannot represent gives an empty period {0, 0}.
Period AccountingPeriod(YearMonth label, int startDay);

// The local calendar date on which the period of `label` begins, with a start
// day the month lacks carried into the next month (2004/2/30 is 2004/3/1).
CalendarDate PeriodStartDate(YearMonth label, int startDay);

// "从%d/%d/%d开始计时" with the date the displayed month's period begins on.
std::wstring CountingSinceText(YearMonth displayed, int startDay);

// The month's figures the history view sums over the finished sessions it
// lists, in seconds.
struct AccountingFigures {
    std::int64_t monthTotal = 0;   // durations
    std::int64_t monthBilled = 0;  // durations rounded to whole minutes
    std::int64_t todayTotal = 0;   // durations of the sessions started today
    // Bytes received and sent in the month's finished sessions.
    std::int64_t monthBytes = 0;
    friend bool operator==(const AccountingFigures&, const AccountingFigures&) = default;
};

// Applies the user's manual correction (Property/Adjust hours, added or, with
// RadioAdjust set, subtracted) to the month's total and billed time. The
// correction belongs to the calendar month it was entered for
// (Property/StartMonth): when the month picker shows a date of another
// calendar month, Adjust is reset to 0 in the store and the sums stay as they
// are. A subtraction larger than the time used leaves 0, never a negative time.
AccountingFigures ApplyAdjustment(SettingsStore& store, int pickerCalendarMonth,
                                  AccountingFigures sums);

// The texts of one session tick.
struct TickTexts {
    std::wstring session;      // the toolbar's session label and the drop window
    std::wstring month;        // the toolbar's month label and the drop window
    int accumulatedMinutes;    // what the monthly limit check compares
    std::wstring accumulated;  // "累计用时:%d小时,%d分钟"
    std::wstring today;        // " 今日用时:%H:%M:%S", hours modulo 24
    std::wstring statusPane;   // status pane 134: accumulated and today directly joined
};

// `showingCurrentMonth`: the month picker shows the current accounting month,
// so the running session counts into the month's figures.
TickTexts MakeTickTexts(const AccountingFigures& figures, std::int64_t sessionSeconds,
                        bool showingCurrentMonth);

// The tray tip of a tick, "超时\n" first while the drop window shows the
// monthly alarm.
std::wstring TickTrayTip(const TickTexts& texts, bool monthAlarmShown);

// The texts shown while no session is timed.
struct OfflineTexts {
    std::wstring month;        // the toolbar's month label and the drop window
    std::wstring today;        // "%d:%02d:%02d", hours modulo 24
    std::wstring accumulated;  // "累计用时:%d小时,%d分钟" of the billed time
    std::wstring trayTip;      // accumulated "\r\n今日用时:" today
    std::wstring statusPane;   // accumulated ";今日用时:" today
};
OfflineTexts MakeOfflineTexts(const AccountingFigures& figures);

}  // namespace hourlink
