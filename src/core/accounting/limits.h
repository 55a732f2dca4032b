// The monthly and daily time limits: two alarm flags and the decisions the
// session tick acts on. The monitor decides; the frame shows the popup, runs
// the hang-up countdown or hangs up, and passes the drop window its alarm
// state.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/settings/settings_store.h"

namespace hourlink {

// What the drop window shows of the limits.
enum class DropAlarmState { kNone = 0, kMonth = 1, kDay = 2 };

struct LimitDecision {
    enum class Action {
        kNone,
        kShowPopup,      // dialog 151 with `popupText`, modal
        kConfirmHangUp,  // the 20-second hang-up countdown; hang up unless cancelled
        kHangUpNow,      // the program is locked: no chance to cancel
    };
    Action action = Action::kNone;
    std::wstring popupText;
    // kConfirmHangUp: the countdown's message in place of its own, which
    // speaks of time; empty for the time limits.
    std::wstring countdownText;
    // The drop window's new alarm state, when it changes.
    std::optional<DropAlarmState> dropAlarm;
};

// What a limit reached asks for with the user's alarm options: the popup with
// `popupText` (AlarmWindow without HangUp), the hang-up with its countdown
// (HangUp; at once while the program is locked), or nothing.
LimitDecision ReachedLimitDecision(SettingsStore& store, bool locked, std::wstring popupText);

class LimitMonitor {
  public:
    // Answers whether the program lock is in force.
    using LockQuery = std::function<bool()>;

    // The settings are read at every check, so a confirmed options change
    // takes effect at the next tick. Without a lock query the program counts
    // as unlocked.
    explicit LimitMonitor(SettingsStore& store, LockQuery isLocked = {});

    // The monthly check with the accumulated minutes of the tick.
    LimitDecision CheckMonth(int accumulatedMinutes);
    // The daily check with today's finished sessions and the running session.
    LimitDecision CheckDay(std::int64_t todayTotal, std::int64_t sessionSeconds);
    // The monthly popup on its own (WM_LIMIT_ALARM): shown only while the
    // monthly alarm is raised.
    LimitDecision MonthPopup();

    // A session ended: both alarms are lowered for the next one.
    void OnDisconnect();
    // The options dialog was confirmed: the daily alarm is lowered and the
    // drop window shows no alarm. Returns the drop window's new state.
    DropAlarmState OnOptionsConfirmed();
    // The password was given: the monthly alarm is lowered.
    void ClearMonthAlarm() { monthAlarm_ = false; }

    bool MonthAlarmRaised() const { return monthAlarm_; }
    bool DayAlarmRaised() const { return dayAlarm_; }
    DropAlarmState DropAlarm() const { return dropAlarm_; }

    // "时间超过设定值%d小时" and "时间超过每天设定值%d小时".
    static std::wstring MonthPopupText(int limitHours);
    static std::wstring DayPopupText(int limitHours);

  private:
    bool Locked() const { return isLocked_ && isLocked_(); }
    void SetDropAlarm(LimitDecision& decision, DropAlarmState state);

    SettingsStore& store_;
    LockQuery isLocked_;
    bool monthAlarm_ = false;
    bool dayAlarm_ = false;
    DropAlarmState dropAlarm_ = DropAlarmState::kNone;
};

}  // namespace hourlink
