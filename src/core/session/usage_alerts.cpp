#include "core/session/usage_alerts.h"

#include <cstdio>
#include <optional>

#include "core/accounting/data_allowance.h"
#include "core/history/usage_chart.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

// The day on which `used` reaches `limit` at the month's average pace so far.
std::optional<CalendarDate> ProjectedDay(const MonthUsage& usage, std::int64_t used,
                                         std::int64_t limit) {
    // Only a warning due asks, so the tick computes no period.
    const Period period = AccountingPeriod(usage.month, usage.startDay);
    const std::vector<UsageDay> days = PeriodDays(period);
    if (days.empty() || usage.now < period.begin) return std::nullopt;
    const int total = static_cast<int>(days.size());
    const int elapsed = usage.now >= period.end ? total : DayIndexOf(days, usage.now) + 1;
    const int day = ProjectLimitDay(elapsed, total, used, limit);
    if (day < 0) return std::nullopt;
    return days[static_cast<std::size_t>(day)].date;
}

std::wstring WarningText(const wchar_t* what, int percent, const std::wstring& amount,
                         const std::optional<CalendarDate>& day) {
    wchar_t buffer[160];
    std::swprintf(buffer, 160, L"本月已用%d%%的%ls（%ls）。", percent, what, amount.c_str());
    std::wstring text = buffer;
    if (day) {
        std::swprintf(buffer, 160, L"按目前速度，将于%d月%d日用完。", day->month, day->day);
        text += buffer;
    } else {
        text += L"按目前速度，本期内不会用完。";
    }
    return text;
}

}  // namespace

int MonthMark(YearMonth month) {
    return month.year * 100 + month.month;
}

UsageAlerts::UsageAlerts(SettingsStore& store, LimitMonitor::LockQuery isLocked)
    : store_(store), isLocked_(std::move(isLocked)) {}

std::wstring UsageAlerts::DataPopupText(std::int64_t allowanceBytes) {
    return L"流量超过设定值" + GigabytesText(static_cast<int>(allowanceBytes / kBytesPerMegabyte)) +
           L" GB";
}

LimitDecision UsageAlerts::CheckData(const MonthUsage& usage) {
    const std::int64_t allowance = ReadDataAllowance(store_);
    const int mark = MonthMark(usage.month);
    if (allowance <= 0 || usage.bytes < allowance ||
        ReadSetting(store_, settings::kDataAlarmed) == mark) {
        return {};
    }
    const bool locked = isLocked_ && isLocked_();
    if (!locked) WriteSetting(store_, settings::kDataAlarmed, mark);
    LimitDecision decision = ReachedLimitDecision(store_, locked, DataPopupText(allowance));
    if (decision.action == LimitDecision::Action::kConfirmHangUp) {
        decision.countdownText = kDataCountdownText;
    }
    return decision;
}

std::vector<UsageWarning> UsageAlerts::CheckWarnings(const MonthUsage& usage) {
    std::vector<UsageWarning> warnings;
    const int share = ReadSetting(store_, settings::kWarnShare);
    if (share <= 0) return warnings;
    const int mark = MonthMark(usage.month);
    const bool sound = ReadSetting(store_, settings::kAlarmSound) != 0;
    // One limit: warned once its share is used, and marked also when the limit
    // itself is already reached, where the alarm speaks instead.
    const auto check = [&](const IntSetting& warned, std::int64_t used, std::int64_t limit,
                           auto makeText) {
        if (limit <= 0 || used * 100 < limit * share) return;
        if (ReadSetting(store_, warned) == mark) return;
        WriteSetting(store_, warned, mark);
        if (used >= limit) return;
        const int percent = static_cast<int>(used * 100 / limit);
        warnings.push_back({makeText(percent, ProjectedDay(usage, used, limit)), sound});
    };
    const std::int64_t hours = ReadSetting(store_, settings::kLimitTime, 60);
    check(settings::kHourWarned, usage.billedSeconds, hours * 3600,
          [&](int percent, const std::optional<CalendarDate>& day) {
              return TimeWarningText(percent, usage.billedSeconds, day);
          });
    check(settings::kDataWarned, usage.bytes, ReadDataAllowance(store_),
          [&](int percent, const std::optional<CalendarDate>& day) {
              return DataWarningText(percent, usage.bytes, day);
          });
    return warnings;
}

std::wstring TimeWarningText(int percent, std::int64_t billedSeconds,
                             const std::optional<CalendarDate>& projectedDay) {
    return WarningText(L"上网时间", percent, std::to_wstring(billedSeconds / 3600) + L"小时",
                       projectedDay);
}

std::wstring DataWarningText(int percent, std::int64_t bytes,
                             const std::optional<CalendarDate>& projectedDay) {
    return WarningText(L"流量", percent, FormatDataAmount(bytes), projectedDay);
}

UsageLimitSettings ReadUsageLimitSettings(SettingsStore& store) {
    return {ReadSetting(store, settings::kLimitTime), ReadSetting(store, settings::kDataLimit),
            ReadSetting(store, settings::kWarnShare)};
}

void ForgetMarksOfChangedLimits(SettingsStore& store, const UsageLimitSettings& before) {
    const UsageLimitSettings after = ReadUsageLimitSettings(store);
    const bool share = after.warnShare != before.warnShare;
    if (share || after.limitHours != before.limitHours) {
        WriteSetting(store, settings::kHourWarned, 0);
    }
    if (share || after.dataMegabytes != before.dataMegabytes) {
        WriteSetting(store, settings::kDataWarned, 0);
    }
    if (after.dataMegabytes != before.dataMegabytes) WriteSetting(store, settings::kDataAlarmed, 0);
}

}  // namespace hourlink
