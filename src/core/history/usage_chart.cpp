#include "core/history/usage_chart.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>

#include "core/accounting/data_allowance.h"
#include "core/base/time_format.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

// No period holds more days than this; a guard against a broken calendar.
constexpr int kMaxPeriodDays = 40;

// A round axis over `value` (at least 1): the smallest step of 1, 2 or 5 times
// a power of ten, from `firstStep` (a power of ten) up, that covers it in at
// most six steps, and the top that takes.
std::pair<std::int64_t, std::int64_t> RoundAxis(std::int64_t value, std::int64_t firstStep) {
    value = std::max<std::int64_t>(1, value);
    for (std::int64_t decade = firstStep;; decade *= 10) {
        for (const std::int64_t step : {decade, 2 * decade, 5 * decade}) {
            const std::int64_t count = (value + step - 1) / step;
            if (count <= 6) return {count * step, step};
        }
    }
}

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

std::int64_t UsageChart::BarOf(const UsageDay& day) const {
    return measure == UsageMeasure::kData ? day.bytes : day.online;
}

std::int64_t UsageChart::CountedOf(const UsageDay& day) const {
    return measure == UsageMeasure::kData ? day.bytes : day.billed;
}

UsageChart MakeUsageChart(const UsageChartInput& in) {
    const bool data = in.measure == UsageMeasure::kData;
    UsageChart chart;
    chart.measure = in.measure;
    chart.month = in.month;
    chart.startDay = in.startDay;
    chart.period = in.period;
    chart.days = PeriodDays(in.period);
    chart.limit =
        data ? std::max<std::int64_t>(0, in.dataAllowance) : std::int64_t{in.limitHours} * 3600;
    chart.dayLimit = data ? 0 : std::int64_t{in.dayLimitHours} * 3600;
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
        day.bytes += std::max<std::int64_t>(0, s.bytes);
        summedBilled += s.billed;
    }
    // The running session counts into today, as the session tick counts it
    // (into the period's last day once the period has run out under it).
    const bool running = in.showingCurrentMonth && started;
    const std::int64_t runningSeconds = running ? std::max<std::int64_t>(0, in.runningSeconds) : 0;
    const std::int64_t runningBytes = running ? std::max<std::int64_t>(0, in.runningBytes) : 0;
    UsageDay& runningDay =
        days[static_cast<std::size_t>(chart.today >= 0 ? chart.today : total - 1)];
    runningDay.online += runningSeconds;
    runningDay.billed += runningSeconds;
    runningDay.bytes += runningBytes;
    chart.online = in.figures.monthTotal + runningSeconds;
    chart.used =
        data ? in.figures.monthBytes + runningBytes : in.figures.monthBilled + runningSeconds;

    // The manual correction is no day's: the running total of time starts
    // with it (data has none).
    std::int64_t cumulative = data ? 0 : in.figures.monthBilled - summedBilled;
    for (UsageDay& day : days) {
        cumulative += chart.CountedOf(day);
        day.cumulative = cumulative;
    }

    if (chart.elapsedDays == 0) return chart;
    chart.averagePerDay = chart.used / chart.elapsedDays;
    chart.projected = over ? chart.used : chart.used * total / chart.elapsedDays;

    if (chart.limit <= 0) {
        chart.outlook = UsageOutlook::kNoLimit;
        return chart;
    }
    if (chart.used >= chart.limit) {
        chart.outlook = UsageOutlook::kReached;
        const auto reached = std::find_if(days.begin(), days.end(), [&](const UsageDay& d) {
            return d.cumulative >= chart.limit;
        });
        chart.limitDay = reached != days.end() ? static_cast<int>(reached - days.begin())
                                               : chart.elapsedDays - 1;
        return chart;
    }
    chart.outlook = UsageOutlook::kWithinLimit;
    if (over || chart.used <= 0) return chart;
    chart.limitDay = ProjectLimitDay(chart.elapsedDays, total, chart.used, chart.limit);
    if (chart.limitDay >= 0) chart.outlook = UsageOutlook::kWillReach;
    return chart;
}

UsageChart MakeUsageChart(const HistoryList& list, SettingsStore& settings, std::int64_t now,
                          std::int64_t runningSeconds, std::int64_t runningBytes,
                          UsageMeasure measure) {
    UsageChartInput in;
    in.measure = measure;
    in.month = list.Month();
    in.startDay = list.StartDay();
    in.period = list.ShownPeriod();
    in.sessions = list.SummedSessions();
    in.figures = list.Figures();
    in.now = now;
    in.runningSeconds = runningSeconds;
    in.runningBytes = runningBytes;
    in.showingCurrentMonth = list.ShowingCurrentMonth();
    in.limitHours = ReadSetting(settings, settings::kLimitTime);
    in.dayLimitHours = ReadSetting(settings, settings::kDayLimit);
    in.dataAllowance = ReadDataAllowance(settings);
    return MakeUsageChart(in);
}

UsageChartTexts MakeUsageChartTexts(const UsageChart& chart) {
    const bool data = chart.measure == UsageMeasure::kData;
    const auto amount = [data](std::int64_t value) {
        return data ? FormatDataAmount(value) : FormatDuration(value);
    };
    const auto hours = [](std::int64_t seconds) { return std::to_wstring(seconds / 3600); };
    // The allowance is whole megabytes, shown in gigabytes as the options take it.
    const std::wstring allowance =
        data ? GigabytesText(static_cast<int>(chart.limit / kBytesPerMegabyte)) + L" GB" : L"";
    const std::wstring limitName = data ? L"每月流量限额" : L"每月限额";

    UsageChartTexts texts;
    wchar_t buffer[256];
    std::swprintf(buffer, 256, L"%d年%d月%ls (%ls)", chart.month.year, chart.month.month,
                  data ? L"流量" : L"用时", CountingSinceText(chart.month, chart.startDay).c_str());
    texts.title = buffer;

    const bool over = chart.elapsedDays == static_cast<int>(chart.days.size());
    if (chart.outlook == UsageOutlook::kNotStarted) {
        texts.summary = L"本期尚未开始";
    } else if (over) {
        texts.summary = L"共用 " + amount(chart.used) + L"，日均 " + amount(chart.averagePerDay);
    } else {
        texts.summary = L"已用 " + amount(chart.used) + L"，日均 " + amount(chart.averagePerDay) +
                        L"，预计全月 " + amount(chart.projected);
    }
    if (!data) {
        texts.summary += L"；每月限额" + hours(chart.limit) + L"小时，每日限额" +
                         hours(chart.dayLimit) + L"小时";
    } else {
        texts.summary += chart.limit > 0 ? L"；" + limitName + allowance : L"；未设流量限额";
    }

    const auto dayText = [&](const wchar_t* format) {
        const CalendarDate& d = chart.days[static_cast<std::size_t>(chart.limitDay)].date;
        std::swprintf(buffer, 256, format, d.month, d.day, limitName.c_str());
        return std::wstring(buffer);
    };
    switch (chart.outlook) {
        case UsageOutlook::kNotStarted:
            texts.projection = L"本期尚未开始";
            break;
        case UsageOutlook::kReached:
            texts.projection = dayText(L"已于%d月%d日达到%ls");
            break;
        case UsageOutlook::kWillReach:
            texts.projection = dayText(L"按目前速度，将于%d月%d日达到%ls");
            break;
        case UsageOutlook::kWithinLimit:
            texts.projection = (over ? L"本期未达到" : L"按目前速度，本期不会达到") + limitName;
            break;
        case UsageOutlook::kNoLimit:
            texts.projection = data ? L"未设流量限额" : L"未设每月限额";
            break;
    }

    texts.dailyCaption = data ? L"每日上网流量" : L"每日上网用时 (小时)";
    texts.totalCaption = data ? L"本月累计流量" : L"本月累计计费用时 (小时)";
    if (!data) {
        texts.dayLimitLabel = L"每日限额" + hours(chart.dayLimit) + L"小时";
        texts.limitLabel = L"每月限额" + hours(chart.limit) + L"小时";
        texts.projectedLabel = L"预计" + hours(chart.projected + 1800) + L"小时";
    } else {
        if (chart.limit > 0) texts.limitLabel = L"流量限额" + allowance;
        texts.projectedLabel = L"预计" + FormatDataAmount(chart.projected);
    }
    return texts;
}

HourAxis ChooseHourAxis(std::int64_t maxSeconds) {
    const auto [top, step] = RoundAxis((maxSeconds + 3599) / 3600, 1);
    return {static_cast<int>(std::min<std::int64_t>(top, 1 << 30)),
            static_cast<int>(std::min<std::int64_t>(step, 1 << 30))};
}

ByteAxis ChooseByteAxis(std::int64_t maxBytes) {
    const auto [top, step] = RoundAxis(std::max(maxBytes, kBytesPerMegabyte), 1000);
    return {top, step};
}

ValueAxis ChooseValueAxis(UsageMeasure measure, std::int64_t maxValue) {
    if (measure == UsageMeasure::kData) {
        const ByteAxis axis = ChooseByteAxis(maxValue);
        return {axis.top, axis.step};
    }
    const HourAxis axis = ChooseHourAxis(maxValue);
    return {std::int64_t{axis.top} * 3600, std::int64_t{axis.step} * 3600};
}

std::wstring AxisLabel(UsageMeasure measure, std::int64_t value) {
    if (measure == UsageMeasure::kTime) return std::to_wstring(value / 3600);
    if (value <= 0) return L"0";
    static constexpr struct {
        std::int64_t size;
        const wchar_t* name;
    } kUnits[] = {{1'000'000'000, L"GB"}, {1'000'000, L"MB"}, {1000, L"KB"}};
    for (const auto& unit : kUnits) {
        if (value < unit.size && unit.size > 1000) continue;
        // Tenths of the unit, rounded; the ".0" of a whole number left out.
        const std::int64_t tenths = (value * 10 + unit.size / 2) / unit.size;
        std::wstring text = std::to_wstring(tenths / 10);
        if (tenths % 10 != 0) text += L"." + std::to_wstring(tenths % 10);
        return text + L" " + unit.name;
    }
    return L"0";
}

}  // namespace hourlink
