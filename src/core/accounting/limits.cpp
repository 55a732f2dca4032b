#include "core/accounting/limits.h"

#include <cstdio>

#include "core/settings/settings.h"

namespace hourlink {

namespace {

// The defaults the frame writes at start-up; a missing or unreadable limit
// reads as them rather than as 0 hours, which would alarm at once.
constexpr int kDefaultLimitHours = 60;
constexpr int kDefaultDayLimitHours = 5;

struct AlarmOptions {
    bool window;
    bool hangUp;
};

AlarmOptions ReadAlarmOptions(SettingsStore& store) {
    return {ReadSetting(store, settings::kAlarmWindow) != 0,
            ReadSetting(store, settings::kHangUp) != 0};
}

}  // namespace

LimitMonitor::LimitMonitor(SettingsStore& store, LockQuery isLocked)
    : store_(store), isLocked_(std::move(isLocked)) {}

std::wstring LimitMonitor::MonthPopupText(int limitHours) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"时间超过设定值%d小时", limitHours);
    return buffer;
}

std::wstring LimitMonitor::DayPopupText(int limitHours) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"时间超过每天设定值%d小时", limitHours);
    return buffer;
}

void LimitMonitor::SetDropAlarm(LimitDecision& decision, DropAlarmState state) {
    dropAlarm_ = state;
    decision.dropAlarm = state;
}

LimitDecision ReachedLimitDecision(SettingsStore& store, bool locked, std::wstring popupText) {
    const AlarmOptions options = ReadAlarmOptions(store);
    LimitDecision decision;
    if (options.hangUp) {
        decision.action =
            locked ? LimitDecision::Action::kHangUpNow : LimitDecision::Action::kConfirmHangUp;
    } else if (options.window) {
        decision.action = LimitDecision::Action::kShowPopup;
        decision.popupText = std::move(popupText);
    }
    return decision;
}

LimitDecision LimitMonitor::CheckMonth(int accumulatedMinutes) {
    const int limitMinutes = ReadSetting(store_, settings::kLimitTime, kDefaultLimitHours) * 60 - 1;
    const AlarmOptions options = ReadAlarmOptions(store_);
    if (accumulatedMinutes < limitMinutes) {
        LimitDecision decision;
        if (!monthAlarm_) return decision;
        monthAlarm_ = false;
        if (options.window && !options.hangUp) SetDropAlarm(decision, DropAlarmState::kNone);
        return decision;
    }
    if (monthAlarm_) return {};
    // While the program is locked the alarm stays lowered, so its actions run
    // again at every tick (with HangUp set, that hangs up at once).
    if (!Locked()) monthAlarm_ = true;
    const LimitDecision decision = ReachedLimitDecision(store_, Locked(), {});
    return decision.action == LimitDecision::Action::kShowPopup ? MonthPopup() : decision;
}

LimitDecision LimitMonitor::MonthPopup() {
    LimitDecision decision;
    if (!monthAlarm_) {
        SetDropAlarm(decision, DropAlarmState::kNone);
        return decision;
    }
    SetDropAlarm(decision, DropAlarmState::kMonth);
    decision.action = LimitDecision::Action::kShowPopup;
    decision.popupText =
        MonthPopupText(ReadSetting(store_, settings::kLimitTime, kDefaultLimitHours));
    return decision;
}

LimitDecision LimitMonitor::CheckDay(std::int64_t todayTotal, std::int64_t sessionSeconds) {
    const int limitHours = ReadSetting(store_, settings::kDayLimit, kDefaultDayLimitHours);
    const std::int64_t minutes = (todayTotal + sessionSeconds) / 60;
    if (minutes >= std::int64_t{limitHours} * 60) {
        if (dayAlarm_) return {};
        dayAlarm_ = true;
        LimitDecision decision = ReachedLimitDecision(store_, Locked(), DayPopupText(limitHours));
        SetDropAlarm(decision, DropAlarmState::kDay);
        return decision;
    }
    LimitDecision decision;
    if (dayAlarm_) {
        dayAlarm_ = false;
        SetDropAlarm(decision, DropAlarmState::kNone);
    }
    return decision;
}

void LimitMonitor::OnDisconnect() {
    monthAlarm_ = false;
    dayAlarm_ = false;
}

DropAlarmState LimitMonitor::OnOptionsConfirmed() {
    dayAlarm_ = false;
    dropAlarm_ = DropAlarmState::kNone;
    return dropAlarm_;
}

}  // namespace hourlink
