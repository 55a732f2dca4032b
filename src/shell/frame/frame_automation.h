// The automation as the main frame runs it: the weekly schedule on the frame's
// kScheduleTimer (10 s), the automatic shutdown on its kShutdownTimer (5 s)
// while no connection is timed and on the session tick while one is, and the
// commands of the schedule, shutdown and programs-after-connecting dialogs.
//
// The frame hands in what the automation needs of the rest of the program as
// AutomationLinks; the timers are the frame window's and arrive as its
// WM_TIMER messages, which the frame passes to OnTimer.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/automation/schedule.h"
#include "core/automation/shutdown_plan.h"
#include "core/base/clock.h"
#include "core/settings/settings_store.h"
#include "shell/dialogs/countdown_dialog.h"

namespace hourlink {

struct AutomationLinks {
    // A connection is up (timed or not).
    std::function<bool()> connectionUp;
    // The session tick runs (a connection of type 1 to 3 is up).
    std::function<bool()> connectionTimed;
    // The dialer: the user's hang-up request, a running attempt, the
    // schedule's automatic dial (retries armed, attempt counter 1, the entry
    // AutoConnent/EntryName), whether the connection was dialled so, and the
    // hang-up.
    std::function<bool()> hangUpRequested;
    std::function<void()> clearHangUpRequest;
    std::function<bool()> dialInProgress;
    std::function<void()> dialScheduled;
    std::function<bool()> connectedBySchedule;
    std::function<void()> hangUp;
    // The status bar's first pane, and a line for the log pane.
    std::function<void(std::wstring_view)> showStatus;
    std::function<void(std::wstring_view)> log;
    // The entries the schedule dialog offers.
    std::function<std::vector<std::wstring>()> entryNames;
};

class FrameAutomation final : private ScheduleHost, private ShutdownHost {
  public:
    // `frame` owns the timers; `settings` and `clock` outlive this object.
    FrameAutomation(HWND frame, SettingsStore& settings, const Clock& clock, AutomationLinks links);

    // The frame's WM_TIMER: true when `id` is one of the automation's.
    bool OnTimer(UINT_PTR id);
    // After each listing of the history: the schedule is armed while offline,
    // and the stored shutdown plan applied.
    void OnListed();
    // A connection came up; `timed` when the session tick runs for it.
    void OnConnect(bool timed);
    // Each session tick: the schedule's hang-up, then the shutdown check.
    void OnSessionTick();
    // The connection went (after the frame cleared the dial state).
    void OnDisconnect();

    // Commands 32794, 32795 and 32805.
    void ScheduleCommand();
    void ShutdownCommand();
    void RunProgramsCommand();

    WeeklySchedule& Schedule() { return schedule_; }
    ShutdownPlan& Shutdown() { return shutdown_; }

    // The countdown's length and clock; tests shorten it.
    void SetCountdownForTesting(int seconds, CountdownDialog::TickSource ticks = {});

  private:
    // ScheduleHost.
    bool ConnectionUp() override;
    bool HangUpRequested() override;
    void ClearHangUpRequest() override;
    bool DialInProgress() override;
    void DialScheduled() override;
    bool ConnectedBySchedule() override;
    void SetScheduleTimer(bool running) override;
    void ShowScheduleText(std::wstring_view text) override;
    // ShutdownHost.
    bool ConnectionTimed() override;
    bool StartShutdownTimer() override;
    void StopShutdownTimer() override;
    void ShowShutdownText(std::wstring_view text) override;
    bool ConfirmShutdown() override;
    std::uint32_t EnableShutdownPrivilege() override;
    void HangUpAndWait() override;
    std::uint32_t PowerOff(unsigned flags) override;
    void Log(std::wstring text) override;

    HWND frame_;
    SettingsStore& settings_;
    const Clock& clock_;
    AutomationLinks links_;
    WeeklySchedule schedule_;
    ShutdownPlan shutdown_;
    int countdownSeconds_ = CountdownDialog::kDefaultSeconds;
    CountdownDialog::TickSource countdownTicks_;
};

}  // namespace hourlink
