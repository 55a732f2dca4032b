// The weekly plan of automatic connects and hang-ups: on the chosen weekdays,
// up to four daily windows, each from a start time to a stop time. When a
// window opens the schedule asks the dialer to dial the plan's entry (with
// retries armed); when it closes the frame hangs the scheduled connection up.
//
// WeeklySchedule decides; its host (the frame) owns the timer, the status bar
// and the dialer. The plan is read from the settings every time it is used, so
// a changed plan takes effect at the next check. A dial that fails leaves the
// day's later windows waited for, and a clock that is set back or jumps ahead
// is planned for afresh.
//
// A window belongs to the day it opens on: a window from 22:00 to 2:00 of a
// chosen Monday runs until 2:00 on Tuesday, whether Tuesday is chosen or not.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/clock.h"
#include "core/settings/settings_store.h"

namespace hourlink {

class NetworkInfo;

inline constexpr std::wstring_view kInvalidScheduleTime = L"无效的时间格式. 格式为00:00";

// A time of day as the plan writes it: "h:mm" or "hh:mm", hour 0 to 23,
// minute 00 to 59, blanks around it allowed. Minutes since midnight; nothing
// for any other text.
std::optional<int> ParseScheduleTime(std::wstring_view text);

// What the schedule dialog stores for the text of a time box: "" for blanks
// only, the time written "%d:%02d" for a valid one, nothing when it is refused.
std::optional<std::wstring> NormalizeScheduleTime(std::wstring_view text);

// The plan as the schedule dialog edits it (section AutoConnent).
struct SchedulePlan {
    std::array<bool, 7> days{};  // Monday .. Sunday
    std::wstring entryName;
    std::array<std::wstring, 4> starts;
    std::array<std::wstring, 4> stops;
};
SchedulePlan ReadSchedulePlan(SettingsStore& store);
// Writes the plan; a saved plan also switches the idle disconnect off, since
// the two cannot run together.
void WriteSchedulePlan(SettingsStore& store, const SchedulePlan& plan);

// The entries the schedule dialog offers (GBK): the phonebook entries, then one
// line for the PPPoE client: its adapter's description, or "NTS PPPOE Adpater"
// when the client is installed but its adapter is not seen.
std::vector<std::string> ScheduleEntryChoices(NetworkInfo& network);

// What the schedule needs from the rest of the program.
class ScheduleHost {
  public:
    virtual ~ScheduleHost() = default;
    // A connection is up (timed or not).
    virtual bool ConnectionUp() = 0;
    // The user hung up: no automatic dial until the next window opens.
    virtual bool HangUpRequested() = 0;
    virtual void ClearHangUpRequest() = 0;
    // A dial attempt is running.
    virtual bool DialInProgress() = 0;
    // Arms the retries, sets the attempt counter to 1 and dials the plan's
    // entry (AutoConnent/EntryName) automatically.
    virtual void DialScheduled() = 0;
    // The connection that is up is the one the schedule's dial made (not a
    // connection of the user's after a scheduled dial failed).
    virtual bool ConnectedBySchedule() = 0;
    // Starts (replacing a running one) or stops the schedule timer.
    virtual void SetScheduleTimer(bool running) = 0;
    // The status bar's first pane.
    virtual void ShowScheduleText(std::wstring_view text) = 0;
};

class WeeklySchedule {
  public:
    // The timer's period: a start is acted on up to this late.
    static constexpr int kTimerMs = 10000;
    // How often a scheduled hang-up that did not take is tried again.
    static constexpr int kHangUpRetrySeconds = 10;

    // One opening of a window: its number (1 to 4) and its span of seconds.
    struct Opening {
        int window = 0;
        std::int64_t start = 0;
        std::int64_t stop = 0;
        friend bool operator==(const Opening&, const Opening&) = default;
    };

    WeeklySchedule(SettingsStore& store, const Clock& clock, ScheduleHost& host);

    // While offline: dials at once when a window of a chosen day is open (and
    // the user has not hung up inside it, and no attempt is running), else
    // waits with the timer for the next opening today. The timer also wakes
    // at the next local midnight, to plan the new day. The status pane tells
    // the next opening, and loses that text when there is none.
    void Arm();
    // The timer (every kTimerMs).
    void OnTimer();
    // A connection came up: it gets the hang-up time of the opening the
    // schedule dialled, which holds while the host says the connection is
    // the schedule's.
    void OnConnect();
    // Each second of a timed session: true when the scheduled connection's
    // hang-up time has come, and again every kHangUpRetrySeconds while the
    // connection lasts.
    bool HangUpDue();
    // The connection went: plan again.
    void OnDisconnect();
    // The plan was saved: a scheduled connection takes the new stop time of
    // its window on the day it opened; offline, the plan is armed afresh.
    void OnPlanSaved();

    // What the schedule is waiting for, for the tests.
    std::optional<Opening> Waiting() const;
    std::optional<std::int64_t> HangUpTime() const { return hangUpAt_; }
    bool TimerRunning() const { return timerRunning_; }

  private:
    struct Wait {
        Opening opening;
        // Reached by the timer at its start: a hang-up of the user's before
        // then no longer holds. An opening found already open keeps it.
        bool clearsHangUp = true;
    };

    // The openings of chosen days that `now` may be in or before: yesterday's
    // that run past midnight and today's, in window order.
    std::vector<Opening> OpeningsAround(std::int64_t now);
    // The stop of window `window` on the day of `start`, with the plan as it
    // is now (its start may have been edited since).
    std::optional<std::int64_t> CurrentStop(int window, std::int64_t start);
    // The earliest opening after `now` of those around it.
    std::optional<Opening> NextOpening(std::int64_t now);
    bool StillOpen(const Opening& opening, std::int64_t now);
    bool AnythingPlanned();
    void Dial(Opening opening);
    // Runs the timer until the next opening waited for or the next local
    // midnight, whichever is first.
    void WakeUp(std::int64_t now);
    void StopWaiting();
    // The opening waited for in the status pane, or no text of the schedule's.
    void ShowWaiting(std::int64_t now);

    SettingsStore& store_;
    const Clock& clock_;
    ScheduleHost& host_;
    std::optional<Wait> waiting_;
    std::optional<std::int64_t> wakeAt_;
    bool timerRunning_ = false;
    // The clock at the timer's start or its last tick.
    std::optional<std::int64_t> lastTick_;
    // The status pane shows the opening waited for.
    bool showingWait_ = false;
    // The opening the schedule dialled, the hang-up time of its connection and
    // the last time that hang-up was asked for.
    std::optional<Opening> dialled_;
    std::optional<std::int64_t> hangUpAt_;
    std::optional<std::int64_t> lastHangUp_;
};

// "将在%Y/%m/%d %H:%M" + `what` of a moment in local time.
std::wstring ScheduleMomentText(std::int64_t moment, std::wstring_view what);

}  // namespace hourlink
