#include "core/history/usage_chart.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "core/base/time_format.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

// No period holds more days than this; a guard against a broken calendar.
constexpr int kMaxPeriodDays = 40;

}  // namespace

// Clamped, as the month window may hold a record exactly at the period's end.
int DayIndexOf(const std::vector<UsageDay>& days, std::int64_t t) {
    const auto after = std::upper_bound(
        days.begin(), days.end(), t, [](std::int64_t v, const UsageDay& d) { return v < d.begin; });
    if (after == days.begin()) return 0;
    return static_cast<int>(after - days.begin()) - 1;
}

int ProjectLimitDay(int elapsedDays, int totalDays, std::int64_t used, std::int64_t limit) {
    if (elapsedDays <= 0 || used <= 0 || limit <= 0) return -1;
    // The first day d (counted from 1) with used / elapsed * d >= limit, in
    // whole numbers; a limit already reached falls on the last day begun.
    const std::int64_t d = std::max<std::int64_t>((limit * elapsedDays + used - 1) / used,
                                                  std::min(elapsedDays, totalDays));
    return d <= totalDays ? static_cast<int>(d) - 1 : -1;
}

std::vector<UsageDay> PeriodDays(Period period) {
    std::vector<UsageDay> days;
    std::int64_t begin = period.begin;
    while (begin < period.end && static_cast<int>(days.size()) < kMaxPeriodDays) {
        const auto tm = ToLocalTime(begin);
        if (!tm) break;
        UsageDay day;
        day.date = {tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday};
        day.begin = begin;
        days.push_back(day);
        const auto next = FromLocalTime(day.date.year, day.date.month, day.date.day + 1, 0, 0, 0);
        if (!next || *next <= begin) break;
        begin = *next;
    }
    return days;
}

std::int64_t UsageChart::PaceAt(int index) const {
    if (days.empty()) return 0;
    return limit * (index + 1) / static_cast<std::int64_t>(days.size());
}

UsageChart MakeUsageChart(const UsageChartInput& in) {
    UsageChart chart;
    chart.month = in.month;
    chart.startDay = in.startDay;
    chart.period = in.period;
    chart.days = PeriodDays(in.period);
    chart.limit = std::int64_t{in.limitHours} * 3600;
    chart.dayLimit = std::int64_t{in.dayLimitHours} * 3600;
    auto& days = chart.days;
    const int total = static_cast<int>(days.size());
    if (total == 0) return chart;

    const bool started = in.now >= in.period.begin;
    const bool over = in.now >= in.period.end;
    if (started && !over) chart.today = DayIndexOf(days, in.now);
    chart.elapsedDays = !started ? 0 : (over ? total : chart.today + 1);

    std::int64_t summedBilled = 0;
    for (const SummedSession& s : in.sessions) {
        UsageDay& day = days[static_cast<std::size_t>(DayIndexOf(days, s.start))];
        day.online += s.duration;
        day.billed += s.billed;
        summedBilled += s.billed;
    }
    // The running session counts into today, as the session tick counts it
    // (into the period's last day once the period has run out under it).
    const std::int64_t running = in.showingCurrentMonth && started ? in.runningSeconds : 0;
    const int runningDay = chart.today >= 0 ? chart.today : total - 1;
    if (running > 0) {
        days[static_cast<std::size_t>(runningDay)].online += running;
        days[static_cast<std::size_t>(runningDay)].billed += running;
    }
    chart.online = in.figures.monthTotal + running;
    chart.used = in.figures.monthBilled + running;

    // The manual correction is no day's: the running total starts with it.
    std::int64_t cumulative = in.figures.monthBilled - summedBilled;
    for (UsageDay& day : days) {
        cumulative += day.billed;
        day.cumulative = cumulative;
    }

    if (chart.elapsedDays == 0) return chart;
    chart.averagePerDay = chart.used / chart.elapsedDays;
    chart.projected = over ? chart.used : chart.used * total / chart.elapsedDays;

    if (chart.limit > 0 && chart.used >= chart.limit) {
        chart.outlook = UsageOutlook::kReached;
        const auto reached = std::find_if(days.begin(), days.end(), [&](const UsageDay& d) {
            return d.cumulative >= chart.limit;
        });
        chart.limitDay = reached != days.end() ? static_cast<int>(reached - days.begin())
                                               : chart.elapsedDays - 1;
        return chart;
    }
    chart.outlook = UsageOutlook::kWithinLimit;
    if (over || chart.used <= 0 || chart.limit <= 0) return chart;
    chart.limitDay = ProjectLimitDay(chart.elapsedDays, total, chart.used, chart.limit);
    if (chart.limitDay >= 0) chart.outlook = UsageOutlook::kWillReach;
    return chart;
}

UsageChart MakeUsageChart(const HistoryList& list, SettingsStore& settings, std::int64_t now,
                          std::int64_t runningSeconds) {
    UsageChartInput in;
    in.month = list.Month();
    in.startDay = list.StartDay();
    in.period = list.ShownPeriod();
    in.sessions = list.SummedSessions();
    in.figures = list.Figures();
    in.now = now;
    in.runningSeconds = runningSeconds;
    in.showingCurrentMonth = list.ShowingCurrentMonth();
    in.limitHours = ReadSetting(settings, settings::kLimitTime);
    in.dayLimitHours = ReadSetting(settings, settings::kDayLimit);
    return MakeUsageChart(in);
}

UsageChartTexts MakeUsageChartTexts(const UsageChart& chart) {
    UsageChartTexts texts;
    wchar_t buffer[256];
    std::swprintf(buffer, 256, L"%d年%d月用时 (%ls)", chart.month.year, chart.month.month,
                  CountingSinceText(chart.month, chart.startDay).c_str());
    texts.title = buffer;

    const int limitHours = static_cast<int>(chart.limit / 3600);
    const int dayLimitHours = static_cast<int>(chart.dayLimit / 3600);
    const bool over = chart.elapsedDays == static_cast<int>(chart.days.size());
    if (chart.outlook == UsageOutlook::kNotStarted) {
        std::swprintf(buffer, 256, L"本期尚未开始；每月限额%d小时，每日限额%d小时", limitHours,
                      dayLimitHours);
    } else if (over) {
        std::swprintf(buffer, 256, L"共用 %ls，日均 %ls；每月限额%d小时，每日限额%d小时",
                      FormatDuration(chart.used).c_str(),
                      FormatDuration(chart.averagePerDay).c_str(), limitHours, dayLimitHours);
    } else {
        std::swprintf(
            buffer, 256, L"已用 %ls，日均 %ls，预计全月 %ls；每月限额%d小时，每日限额%d小时",
            FormatDuration(chart.used).c_str(), FormatDuration(chart.averagePerDay).c_str(),
            FormatDuration(chart.projected).c_str(), limitHours, dayLimitHours);
    }
    texts.summary = buffer;

    const auto dayText = [&](const wchar_t* format) {
        const CalendarDate& d = chart.days[static_cast<std::size_t>(chart.limitDay)].date;
        std::swprintf(buffer, 256, format, d.month, d.day);
        return std::wstring(buffer);
    };
    switch (chart.outlook) {
        case UsageOutlook::kNotStarted:
            texts.projection = L"本期尚未开始";
            break;
        case UsageOutlook::kReached:
            texts.projection = dayText(L"已于%d月%d日达到每月限额");
            break;
        case UsageOutlook::kWillReach:
            texts.projection = dayText(L"按目前速度，将于%d月%d日达到每月限额");
            break;
        case UsageOutlook::kWithinLimit:
            texts.projection = over ? L"本期未达到每月限额" : L"按目前速度，本期不会达到每月限额";
            break;
    }
    return texts;
}

HourAxis ChooseHourAxis(std::int64_t maxSeconds) {
    const std::int64_t hours = std::max<std::int64_t>(1, (maxSeconds + 3599) / 3600);
    static constexpr int kSteps[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000};
    for (int step : kSteps) {
        const std::int64_t count = (hours + step - 1) / step;
        if (count <= 6) return {static_cast<int>(count * step), step};
    }
    return {static_cast<int>(std::min<std::int64_t>(hours, 1 << 30)), static_cast<int>(hours)};
}

}  // namespace hourlink
