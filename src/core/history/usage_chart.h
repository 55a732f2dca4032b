// The usage chart's data and arithmetic, apart from any window: one bar per
// day of the accounting period made from the sessions the history list sums,
// the running session on today's bar, the daily limit, the month's running
// total against the monthly limit and the even pace to it, the average per
// day, the projected total and the day the monthly limit will be reached at
// the present pace.
//
// The chart measures time or data. Time follows the program's own alarms: the
// daily bars and the daily limit are online time (the daily check adds
// durations), the month's running total, its projection and the monthly limit
// are billed time (the monthly check adds minute-rounded durations, and the
// user's manual correction). Data is bytes received and sent, for the bars and
// the running total alike, against the monthly data allowance; it has no daily
// limit, and no allowance at all when none is set.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/history/history_list.h"
#include "core/settings/settings_store.h"

namespace hourlink {

enum class UsageMeasure { kTime, kData };

struct UsageChartInput {
    UsageMeasure measure = UsageMeasure::kTime;
    YearMonth month;    // the accounting month the list shows
    int startDay = 21;  // Property/StartDate
    Period period;      // that month's period (the list's month window)
    // The finished sessions the list summed, and its figures (corrected by
    // Property/Adjust), as HistoryList gives them.
    std::vector<SummedSession> sessions;
    AccountingFigures figures;
    std::int64_t now = 0;
    // The running session's seconds; counted only while the list shows the
    // current accounting month, as the session tick counts them.
    std::int64_t runningSeconds = 0;
    std::int64_t runningBytes = 0;  // the running session's bytes, received and sent
    bool showingCurrentMonth = false;
    int limitHours = 60;             // Property/LimitTime
    int dayLimitHours = 5;           // Property/DayLimit
    std::int64_t dataAllowance = 0;  // bytes, 0 for none (ReadDataAllowance)
};

struct UsageDay {
    CalendarDate date;
    std::int64_t begin = 0;   // local midnight
    std::int64_t online = 0;  // seconds online in sessions begun this day
    std::int64_t billed = 0;  // their billed seconds
    std::int64_t bytes = 0;   // their bytes, received and sent
    // What the month has counted up to the end of this day, the running
    // session included: billed seconds with the correction, or bytes.
    std::int64_t cumulative = 0;
};

enum class UsageOutlook {
    kNotStarted,   // the period lies ahead
    kReached,      // the monthly limit has been reached
    kWillReach,    // at the present pace it is reached on limitDay
    kWithinLimit,  // at the present pace the period ends below it
    kNoLimit,      // there is no limit to reach (no data allowance set)
};

// The figures are in the chart's measure: seconds for time, bytes for data.
struct UsageChart {
    UsageMeasure measure = UsageMeasure::kTime;
    YearMonth month;
    int startDay = 21;
    Period period;
    std::vector<UsageDay> days;  // every day of the period, in order
    int elapsedDays = 0;         // days of the period begun by now, today included
    int today = -1;              // index of today's day; -1 when now is outside the period
    std::int64_t online = 0;     // the month's online seconds, running session included
    // The month's billed seconds (correction included) or bytes, running
    // session included.
    std::int64_t used = 0;
    std::int64_t limit = 0;          // the monthly limit or the data allowance; 0: none
    std::int64_t dayLimit = 0;       // the daily limit, seconds; 0 for data
    std::int64_t averagePerDay = 0;  // used / elapsedDays
    std::int64_t projected = 0;      // used at the end of the period at the average pace
    UsageOutlook outlook = UsageOutlook::kNotStarted;
    // The day the limit was or will be reached (kReached, kWillReach); -1 otherwise.
    int limitDay = -1;
    // The even pace: what is used by the end of day `index` to use exactly
    // the limit over the period.
    std::int64_t PaceAt(int index) const;
    // A day's bar (online seconds or bytes) and what it adds to the running
    // total (billed seconds or bytes).
    std::int64_t BarOf(const UsageDay& day) const;
    std::int64_t CountedOf(const UsageDay& day) const;
};

UsageChart MakeUsageChart(const UsageChartInput& input);

// The chart of what `list` shows now: its month, period, filter and figures
// (the list stays their one owner), the limits as the settings hold them, and
// the running session's seconds and bytes.
UsageChart MakeUsageChart(const HistoryList& list, SettingsStore& settings, std::int64_t now,
                          std::int64_t runningSeconds, std::int64_t runningBytes = 0,
                          UsageMeasure measure = UsageMeasure::kTime);

// The local days of a period: from its first midnight to the last one before
// its end (a start day the month lacks carried over as mktime does).
std::vector<UsageDay> PeriodDays(Period period);

// The index of the day of `days` that `t` falls in, clamped to the days.
int DayIndexOf(const std::vector<UsageDay>& days, std::int64_t t);

// The day (an index, counted from 0) by whose end a month that has used
// `used` in its first `elapsedDays` days reaches `limit` at that average pace;
// -1 when it would not within `totalDays`, or nothing is used yet.
int ProjectLimitDay(int elapsedDays, int totalDays, std::int64_t used, std::int64_t limit);

// The chart's texts.
struct UsageChartTexts {
    std::wstring title;       // "2026年12月用时 (从2026/11/21开始计时)"
    std::wstring summary;     // used, average per day, projected total, limits
    std::wstring projection;  // "按目前速度，将于12月18日达到每月限额", ...
    // The captions of the daily bars and of the running total.
    std::wstring dailyCaption;
    std::wstring totalCaption;
    // The labels of the lines: "每日限额5小时", "每月限额60小时", "预计66小时";
    // empty for a line that is not drawn.
    std::wstring dayLimitLabel;
    std::wstring limitLabel;
    std::wstring projectedLabel;
};
UsageChartTexts MakeUsageChartTexts(const UsageChart& chart);

// A value axis in whole hours: `top` is a multiple of `step`, at least the
// largest value and at least 1 hour, with at most six steps.
struct HourAxis {
    int top = 1;
    int step = 1;
    friend bool operator==(const HourAxis&, const HourAxis&) = default;
};
HourAxis ChooseHourAxis(std::int64_t maxSeconds);

// A value axis in bytes: `step` is 1, 2 or 5 times a power of ten, at least
// 1 KB; `top` is a multiple of it, at least the largest value and at least
// 1 MB, with at most six steps.
struct ByteAxis {
    std::int64_t top = 0;
    std::int64_t step = 0;
    friend bool operator==(const ByteAxis&, const ByteAxis&) = default;
};
ByteAxis ChooseByteAxis(std::int64_t maxBytes);

// A value axis in the chart's measure, in its units (seconds or bytes), and
// the label of a value on it: whole hours ("20"), or bytes in the largest unit
// of 1000 they reach with at most one decimal ("0", "200 KB", "1.5 GB").
struct ValueAxis {
    std::int64_t top = 0;
    std::int64_t step = 0;
};
ValueAxis ChooseValueAxis(UsageMeasure measure, std::int64_t maxValue);
std::wstring AxisLabel(UsageMeasure measure, std::int64_t value);

}  // namespace hourlink
