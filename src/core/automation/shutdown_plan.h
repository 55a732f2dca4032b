// The automatic shutdown: a number of hours from now, every day at an hour, or
// at a date and time. When the moment comes the user gets the shutdown
// countdown; unless it is cancelled the connection is hung up and Windows is
// shut down and powered off.
//
// ShutdownPlan decides; its host (the frame) owns the timer, the countdown,
// the hang-up and the system's shutdown. While no connection is timed the
// plan is checked by its own timer every 5 seconds, while one is by the
// session tick every second.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/base/clock.h"
#include "core/settings/settings_store.h"

namespace hourlink {

// Shutdown/RadioEscap.
enum class ShutdownMode { kAfterHours = 0, kDaily = 1, kAtTime = 2 };

// What the shutdown dialog edits (section Shutdown).
struct ShutdownSettings {
    int mode = -1;            // RadioEscap; -1 while no plan is chosen
    std::uint32_t hours = 0;  // escap: hours from now
    std::uint32_t hour = 0;   // idel: hour of the day, 0 to 23
    std::int64_t time = 0;    // Time: seconds since 1970
    bool everyStart = false;  // Save: apply the plan again at every start
};
// The stored plan; the time is the stored one when it lies in the future,
// else a minute from now.
ShutdownSettings ReadShutdownSettings(SettingsStore& store, std::int64_t now);
void WriteShutdownSettings(SettingsStore& store, const ShutdownSettings& values);

// The latest moment a plan may name: 2037-12-31 23:59:59 local time, so every
// moment fits the 32-bit time the plan is stored as.
std::int64_t LatestShutdownTime();
// The most hours from `now` the plan takes: within the stored setting's range
// (settings::kShutdownHours) and within LatestShutdownTime. The dialog accepts
// no more, so whatever it saves reads back as it was entered.
std::uint32_t MaxShutdownHours(std::int64_t now);

// ExitWindowsEx's flags: shut down, power off, and force only programs that
// hang (EWX_FORCEIFHUNG), so the others are asked and can save their work.
inline constexpr unsigned kShutdownFlags = 0x1 | 0x8 | 0x10;

class ShutdownHost {
  public:
    virtual ~ShutdownHost() = default;
    // The session tick runs and checks the plan every second.
    virtual bool ConnectionTimed() = 0;
    virtual bool ConnectionUp() = 0;
    // The 5-second timer; false when it cannot be set.
    virtual bool StartShutdownTimer() = 0;
    virtual void StopShutdownTimer() = 0;
    // The status bar's first pane; an empty text clears it.
    virtual void ShowShutdownText(std::wstring_view text) = 0;
    // The countdown; true to shut down, false when the user cancelled.
    virtual bool ConfirmShutdown() = 0;
    // 0, or the system's error code.
    virtual std::uint32_t EnableShutdownPrivilege() = 0;
    // Hangs up and keeps handling messages until the connection is gone (the
    // session's record completed) or about ten seconds have passed.
    virtual void HangUpAndWait() = 0;
    // 0, or the system's error code.
    virtual std::uint32_t PowerOff(unsigned flags) = 0;
    // A line for the log pane.
    virtual void Log(std::wstring text) = 0;
};

class ShutdownPlan {
  public:
    static constexpr int kTimerMs = 5000;
    // A one-off moment still fires this many seconds after it; later it is dropped.
    static constexpr int kOneOffGrace = 120;
    // A daily plan fires in the first minutes of its hour.
    static constexpr int kDailyMinutes = 3;

    ShutdownPlan(SettingsStore& store, const Clock& clock, ShutdownHost& host);

    // The dialog was confirmed with `values` (already saved): the plan starts
    // from them. A moment that is not in the future arms nothing.
    void ArmFromDialog(const ShutdownSettings& values);
    // After every listing of the history: with Shutdown/Save set, the stored
    // plan is armed again (hours counting from now).
    void ApplyStored();
    // After arming and at every disconnect: the timer takes the checks over
    // while no connection is timed.
    void StartTimer();
    // A timed session began: its tick checks from now on.
    void OnSessionTickStarted();
    // The timer and the session tick.
    void Check();

    bool OneOffPending() const { return oneOff_.has_value(); }
    std::optional<std::int64_t> OneOffTime() const { return oneOff_; }
    std::optional<int> DailyHour() const { return dailyHour_; }
    bool TimerRunning() const { return timerRunning_; }

  private:
    void StopTimer();
    void ShutDown();

    SettingsStore& store_;
    const Clock& clock_;
    ShutdownHost& host_;
    std::optional<std::int64_t> oneOff_;
    std::optional<int> dailyHour_;
    // The local date and hour (year * 1000000 + month * 10000 + day * 100 +
    // hour) the daily plan last fired at: one hour of one date fires at most
    // once, however often it is armed again, while a later hour armed on the
    // same date still fires.
    std::int64_t dailyFiredAt_ = 0;
    bool timerRunning_ = false;
    bool confirming_ = false;
};

// "将在%d点自动关机" and "将在%Y/%m/%d %H:%M自动关机".
std::wstring DailyShutdownText(int hour);
std::wstring OneOffShutdownText(std::int64_t moment);

}  // namespace hourlink
