// The data allowance's alarm and the early warnings of both monthly limits,
// apart from any window. Each tick of a timed session hands them where the
// current accounting month stands; they decide once per month per limit and
// remember it in the settings, so a restart does not tell the user again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/accounting/limits.h"
#include "core/settings/settings_store.h"

namespace hourlink {

// Where the current accounting month stands at a tick.
struct MonthUsage {
    YearMonth month;   // the current accounting month
    int startDay = 1;  // Property/StartDate, which places the month's period
    std::int64_t now = 0;
    // What the monthly time check counts: billed seconds with the correction
    // and the running session.
    std::int64_t billedSeconds = 0;
    // Received and sent bytes of the month's sessions, the running one included.
    std::int64_t bytes = 0;
};

// A warning for the tray's balloon: it never interrupts, and sounds only when
// the user asked for alarm sounds.
struct UsageWarning {
    std::wstring text;
    bool sound = false;
};

class UsageAlerts {
  public:
    // `store` holds the limits, the share and the marks of what was given.
    // Without a lock query the program counts as unlocked.
    explicit UsageAlerts(SettingsStore& store, LimitMonitor::LockQuery isLocked = {});

    // The data allowance: the first tick at or over it in a month decides what
    // the monthly time limit would (the popup, or the hang-up countdown with
    // HangUp set); later ticks of that month decide nothing. While the program
    // is locked the month is not marked, so the hang-up comes at every tick.
    LimitDecision CheckData(const MonthUsage& usage);

    // The warnings due: the time's and the data's, each at the first tick at or
    // over the chosen share of its limit in a month, and none for a limit
    // already reached (its alarm speaks then).
    std::vector<UsageWarning> CheckWarnings(const MonthUsage& usage);

    // "流量超过设定值2 GB".
    static std::wstring DataPopupText(std::int64_t allowanceBytes);
    // The hang-up countdown's message at the allowance.
    static constexpr const wchar_t* kDataCountdownText =
        L"你本月的上网流量达到了你所设置的流量限额！\n"
        L"如果你不做出任何动作本窗口会在20秒钟后自动断开连接。";

  private:
    SettingsStore& store_;
    LimitMonitor::LockQuery isLocked_;
};

// The month's mark, as the settings keep it: year * 100 + month.
int MonthMark(YearMonth month);

// The limits the marks were given for, read before the options are saved;
// after saving, the marks of a limit (or share) that changed are cleared so
// its warning or alarm can come again this month.
struct UsageLimitSettings {
    int limitHours = 0;
    int dataMegabytes = 0;
    int warnShare = 0;
};
UsageLimitSettings ReadUsageLimitSettings(SettingsStore& store);
void ForgetMarksOfChangedLimits(SettingsStore& store, const UsageLimitSettings& before);

// "本月已用80%的上网时间（48小时）。按目前速度，将于12月18日用完。" and the data's
// "本月已用80%的流量（1.60 GB）。…"; `projectedDay` nothing when the limit is
// not reached within the period at the present pace.
std::wstring TimeWarningText(int percent, std::int64_t billedSeconds,
                             const std::optional<CalendarDate>& projectedDay);
std::wstring DataWarningText(int percent, std::int64_t bytes,
                             const std::optional<CalendarDate>& projectedDay);

}  // namespace hourlink
