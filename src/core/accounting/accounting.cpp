#include "core/accounting/accounting.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "core/base/time_format.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int ClampStartDay(int startDay) {
    return std::clamp(startDay, kMinStartDay, kMaxStartDay);
}

// Seconds since 1970 of local midnight starting `day` of `ym`, with the C
// library's normalisation of days past the end of the month; -1 when the date
// cannot be represented.
std::int64_t LocalMidnight(YearMonth ym, int day) {
    std::tm tm{};
    tm.tm_year = ym.year - 1900;
    tm.tm_mon = ym.month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;  // let the C library decide whether summer time applies
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? -1 : static_cast<std::int64_t>(t);
}

}  // namespace

int DaysInMonth(int year, int month) {
    if (year == 0 || month < 1 || month > 12) return 0;
    switch (month) {
        case 2:
            return IsLeapYear(year) ? 29 : 28;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        default:
            return 31;
    }
}

YearMonth NextMonth(YearMonth ym) {
    if (ym.month >= 12) return {ym.year + 1, 1};
    return {ym.year, ym.month + 1};
}

YearMonth PreviousMonth(YearMonth ym) {
    if (ym.month > 1) return {ym.year, ym.month - 1};
    if (ym.year > 1) return {ym.year - 1, 12};
    return ym;
}

CalendarDate NextMonth(CalendarDate date) {
    const YearMonth ym = NextMonth(YearMonth{date.year, date.month});
    return {ym.year, ym.month, std::min(date.day, DaysInMonth(ym.year, ym.month))};
}

CalendarDate PreviousMonth(CalendarDate date) {
    const YearMonth ym = PreviousMonth(YearMonth{date.year, date.month});
    return {ym.year, ym.month, std::min(date.day, DaysInMonth(ym.year, ym.month))};
}

YearMonth AccountingMonthLabel(int year, int month, int day, int startDay) {
    const int s = ClampStartDay(startDay);
    const CalendarDate date{year, month, day};
    // The month whose period holds the date. Periods follow one another from
    // one start date to the next, so it is the last of the date's previous,
    // own and next month whose period has begun by then. A start day the month
    // lacks moves that beginning into the next month as AccountingPeriod's
    // mktime does: with start day 30, 1 March of a common year is still in
    // February's period.
    YearMonth label = PreviousMonth(YearMonth{year, month});
    for (int step = 0; step < 2; ++step) {
        const YearMonth next = NextMonth(label);
        if (date < PeriodStartDate(next, s)) break;
        label = next;
    }
    return label;
}

Period AccountingPeriod(YearMonth label, int startDay) {
    const int s = ClampStartDay(startDay);
    const YearMonth first = s < 16 ? label : PreviousMonth(label);
    const YearMonth second = s < 16 ? NextMonth(label) : label;
    const std::int64_t begin = LocalMidnight(first, s);
    const std::int64_t end = LocalMidnight(second, s);
    if (begin < 0 || end < 0 || end <= begin) return {};
    return {begin, end};
}

CalendarDate PeriodStartDate(YearMonth label, int startDay) {
    const int s = ClampStartDay(startDay);
    const YearMonth first = s < 16 ? label : PreviousMonth(label);
    const int days = DaysInMonth(first.year, first.month);
    if (days == 0 || s <= days) return {first.year, first.month, s};
    // The month is shorter than the start day: the period begins that many
    // days into the next month, as mktime would normalise it.
    const YearMonth next = NextMonth(first);
    return {next.year, next.month, s - days};
}

std::wstring CountingSinceText(YearMonth displayed, int startDay) {
    const CalendarDate d = PeriodStartDate(displayed, startDay);
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"从%d/%d/%d开始计时", d.year, d.month, d.day);
    return buffer;
}

AccountingFigures ApplyAdjustment(SettingsStore& store, int pickerCalendarMonth,
                                  AccountingFigures sums) {
    const int adjust = ReadSetting(store, settings::kAdjust);
    if (adjust == 0) return sums;
    if (ReadSetting(store, settings::kStartMonth) != pickerCalendarMonth) {
        // A correction lives only as long as the picker shows its month.
        WriteSetting(store, settings::kAdjust, 0);
        return sums;
    }
    const std::int64_t a = std::int64_t{adjust} * 3600;
    if (ReadSetting(store, settings::kRadioAdjust) == 0) {
        sums.monthTotal += a;
        sums.monthBilled += a;
    } else {
        sums.monthTotal = std::max<std::int64_t>(0, sums.monthTotal - a);
        sums.monthBilled = std::max<std::int64_t>(0, sums.monthBilled - a);
    }
    return sums;
}

namespace {

std::wstring AccumulatedText(std::int64_t minutes) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"累计用时:%lld小时,%lld分钟", static_cast<long long>(minutes / 60),
                  static_cast<long long>(minutes % 60));
    return buffer;
}

// "HH:MM:SS" of a time of day: hours modulo 24, every field two digits.
std::wstring ClockText(std::int64_t seconds) {
    const std::int64_t s = std::max<std::int64_t>(0, seconds);
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%02d:%02d:%02d", static_cast<int>(s / 3600 % 24),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    return buffer;
}

// "%d:%02d:%02d" with the hours modulo 24.
std::wstring WrappedDuration(std::int64_t seconds) {
    const std::int64_t s = std::max<std::int64_t>(0, seconds);
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%d:%02d:%02d", static_cast<int>(s / 3600 % 24),
                  static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
    return buffer;
}

}  // namespace

TickTexts MakeTickTexts(const AccountingFigures& figures, std::int64_t sessionSeconds,
                        bool showingCurrentMonth) {
    TickTexts texts;
    texts.session = FormatDuration(sessionSeconds);
    std::int64_t minutes;
    if (showingCurrentMonth) {
        texts.month = FormatDuration(figures.monthTotal + sessionSeconds);
        // The running minute counts as begun.
        minutes = (figures.monthBilled + sessionSeconds) / 60 + 1;
    } else {
        texts.month = FormatDuration(figures.monthTotal);
        minutes = figures.monthBilled / 60;
    }
    texts.accumulatedMinutes =
        static_cast<int>(std::clamp<std::int64_t>(minutes, INT32_MIN, INT32_MAX));
    texts.accumulated = AccumulatedText(minutes);
    texts.today = L" 今日用时:" + ClockText(figures.todayTotal + sessionSeconds);
    texts.statusPane = texts.accumulated + texts.today;
    return texts;
}

std::wstring TickTrayTip(const TickTexts& texts, bool monthAlarmShown) {
    std::wstring tip = monthAlarmShown ? L"超时\n" : L"";
    tip += texts.accumulated + L"\n" + texts.today + L"\r\n" + L"   本次:" + texts.session;
    return tip;
}

OfflineTexts MakeOfflineTexts(const AccountingFigures& figures) {
    OfflineTexts texts;
    texts.month = FormatDuration(figures.monthTotal);
    texts.today = WrappedDuration(figures.todayTotal);
    texts.accumulated = AccumulatedText(figures.monthBilled / 60);
    texts.trayTip = texts.accumulated + L"\r\n" + L"今日用时:" + texts.today;
    texts.statusPane = texts.accumulated + L";" + L"今日用时:" + texts.today;
    return texts;
}

}  // namespace hourlink
