#include "core/automation/schedule.h"

#include <algorithm>
#include <cwchar>

#include "core/base/time_format.h"
#include "core/net/network_info.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// A window of the plan with both its times valid.
struct PlannedWindow {
    int number;  // 1 to 4
    int start;   // minutes since midnight
    int stop;
};

std::vector<PlannedWindow> ReadWindows(SettingsStore& store) {
    std::vector<PlannedWindow> windows;
    for (int i = 0; i < 4; ++i) {
        const auto start = ParseScheduleTime(ReadSetting(store, settings::kScheduleStarts[i]));
        const auto stop = ParseScheduleTime(ReadSetting(store, settings::kScheduleStops[i]));
        // A window whose stop is its start is never open.
        if (start && stop && *start != *stop) windows.push_back({i + 1, *start, *stop});
    }
    return windows;
}

// Monday 1 .. Sunday 7, from the C library's weekday (Sunday 0).
int PlanWeekday(const std::tm& tm) {
    return tm.tm_wday == 0 ? 7 : tm.tm_wday;
}

bool IsChosenDay(SettingsStore& store, int weekday) {
    return ReadSetting(store, settings::kWeekDays[static_cast<std::size_t>(weekday - 1)]) == 1;
}

// Local midnight `offset` days after the local date of `t`, as a broken-down
// time (with its weekday) and as seconds.
struct Day {
    std::tm tm{};
    std::int64_t midnight = 0;
};

std::optional<Day> DayOf(std::int64_t t, int offset) {
    const auto local = ToLocalTime(t);
    if (!local) return std::nullopt;
    const auto midnight =
        FromLocalTime(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday + offset, 0, 0, 0);
    if (!midnight) return std::nullopt;
    const auto tm = ToLocalTime(*midnight);
    if (!tm) return std::nullopt;
    return Day{*tm, *midnight};
}

// `minutes` after midnight on `day`, `extraDays` later.
std::optional<std::int64_t> TimeOn(const Day& day, int extraDays, int minutes) {
    return FromLocalTime(day.tm.tm_year + 1900, day.tm.tm_mon + 1, day.tm.tm_mday + extraDays,
                         minutes / 60, minutes % 60, 0);
}

std::optional<WeeklySchedule::Opening> OpeningOn(const Day& day, const PlannedWindow& w) {
    const auto start = TimeOn(day, 0, w.start);
    // A stop earlier than the start is on the next day.
    const auto stop = TimeOn(day, w.stop < w.start ? 1 : 0, w.stop);
    if (!start || !stop || *stop <= *start) return std::nullopt;
    return WeeklySchedule::Opening{w.number, *start, *stop};
}

}  // namespace

std::optional<int> ParseScheduleTime(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    const std::size_t colon = text.find(L':');
    if (colon == std::wstring_view::npos || colon < 1 || colon > 2) return std::nullopt;
    if (text.size() != colon + 3) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != colon && !IsDigit(text[i])) return std::nullopt;
    }
    int hour = 0;
    for (std::size_t i = 0; i < colon; ++i) hour = hour * 10 + (text[i] - L'0');
    const int minute = (text[colon + 1] - L'0') * 10 + (text[colon + 2] - L'0');
    if (hour > 23 || minute > 59) return std::nullopt;
    return hour * 60 + minute;
}

std::optional<std::wstring> NormalizeScheduleTime(std::wstring_view text) {
    if (std::all_of(text.begin(), text.end(), IsBlank)) return std::wstring();
    const auto minutes = ParseScheduleTime(text);
    if (!minutes) return std::nullopt;
    wchar_t buffer[8];
    std::swprintf(buffer, 8, L"%d:%02d", *minutes / 60, *minutes % 60);
    return std::wstring(buffer);
}

SchedulePlan ReadSchedulePlan(SettingsStore& store) {
    SchedulePlan plan;
    for (std::size_t i = 0; i < 7; ++i)
        plan.days[i] = ReadSetting(store, settings::kWeekDays[i]) == 1;
    plan.entryName = ReadSetting(store, settings::kScheduleEntryName);
    for (std::size_t i = 0; i < 4; ++i) {
        plan.starts[i] = ReadSetting(store, settings::kScheduleStarts[i]);
        plan.stops[i] = ReadSetting(store, settings::kScheduleStops[i]);
    }
    return plan;
}

void WriteSchedulePlan(SettingsStore& store, const SchedulePlan& plan) {
    for (std::size_t i = 0; i < 7; ++i) WriteSetting(store, settings::kWeekDays[i], plan.days[i]);
    WriteSetting(store, settings::kScheduleEntryName, plan.entryName);
    for (std::size_t i = 0; i < 4; ++i)
        WriteSetting(store, settings::kScheduleStarts[i], plan.starts[i]);
    for (std::size_t i = 0; i < 4; ++i)
        WriteSetting(store, settings::kScheduleStops[i], plan.stops[i]);
    if (ReadSetting(store, settings::kIdleFlag) != 0) WriteSetting(store, settings::kIdleFlag, 0);
}

std::vector<std::string> ScheduleEntryChoices(NetworkInfo& network) {
    std::vector<std::string> choices;
    network.RefreshEntries();
    for (const RasEntryInfo& entry : network.Entries()) choices.push_back(entry.name);
    network.RefreshAdapters();
    for (const AdapterInfo& adapter : network.Adapters()) {
        std::string upper = adapter.description;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
            return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        });
        if (adapter.type == 6 && upper.find(NetworkInfo::kPppoeAdapterMark) != std::string::npos) {
            choices.push_back(adapter.description);
            return choices;
        }
    }
    if (network.IsPppoeClientInstalled()) choices.push_back("NTS PPPOE Adpater");
    return choices;
}

std::wstring ScheduleMomentText(std::int64_t moment, std::wstring_view what) {
    const auto tm = ToLocalTime(moment);
    if (!tm) return {};
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"将在%04d/%02d/%02d %02d:%02d", tm->tm_year + 1900, tm->tm_mon + 1,
                  tm->tm_mday, tm->tm_hour, tm->tm_min);
    return buffer + std::wstring(what);
}

WeeklySchedule::WeeklySchedule(SettingsStore& store, const Clock& clock, ScheduleHost& host)
    : store_(store), clock_(clock), host_(host) {}

std::vector<WeeklySchedule::Opening> WeeklySchedule::OpeningsAround(std::int64_t now) {
    std::vector<Opening> openings;
    const std::vector<PlannedWindow> windows = ReadWindows(store_);
    for (int offset : {-1, 0}) {
        const auto day = DayOf(now, offset);
        if (!day || !IsChosenDay(store_, PlanWeekday(day->tm))) continue;
        for (const PlannedWindow& w : windows) {
            // Of yesterday's windows only those that run past midnight matter.
            if (offset < 0 && w.stop > w.start) continue;
            if (const auto opening = OpeningOn(*day, w)) openings.push_back(*opening);
        }
    }
    return openings;
}

std::optional<std::int64_t> WeeklySchedule::CurrentStop(int window, std::int64_t start) {
    const auto day = DayOf(start, 0);
    if (!day) return std::nullopt;
    for (const PlannedWindow& w : ReadWindows(store_)) {
        if (w.number != window) continue;
        if (const auto opening = OpeningOn(*day, w)) return opening->stop;
    }
    return std::nullopt;
}

std::optional<WeeklySchedule::Opening> WeeklySchedule::NextOpening(std::int64_t now) {
    std::optional<Opening> next;
    for (const Opening& o : OpeningsAround(now)) {
        if (o.start > now && (!next || o.start < next->start)) next = o;
    }
    return next;
}

bool WeeklySchedule::StillOpen(const Opening& opening, std::int64_t now) {
    const auto openings = OpeningsAround(now);
    return std::find(openings.begin(), openings.end(), opening) != openings.end() &&
           opening.start <= now && now < opening.stop;
}

bool WeeklySchedule::AnythingPlanned() {
    if (ReadWindows(store_).empty()) return false;
    for (int day = 1; day <= 7; ++day) {
        if (IsChosenDay(store_, day)) return true;
    }
    return false;
}

void WeeklySchedule::StopWaiting() {
    waiting_.reset();
    wakeAt_.reset();
    if (timerRunning_) {
        host_.SetScheduleTimer(false);
        timerRunning_ = false;
    }
}

void WeeklySchedule::Dial(Opening opening) {
    StopWaiting();
    dialled_ = opening;
    hangUpAt_.reset();
    host_.DialScheduled();
    // Should every attempt fail, the day's later windows still dial, and the
    // timer still plans the next day.
    const std::int64_t now = clock_.Now();
    if (const auto next = NextOpening(now)) waiting_ = Wait{*next, true};
    WakeUp(now);
    ShowWaiting(now);
}

void WeeklySchedule::WakeUp(std::int64_t now) {
    // At midnight the new day is planned, so a machine left running goes on
    // connecting on the chosen days.
    const auto midnight = DayOf(now, 1);
    std::optional<std::int64_t> wake = midnight ? std::optional(midnight->midnight) : std::nullopt;
    if (waiting_ && (!wake || waiting_->opening.start < *wake)) wake = waiting_->opening.start;
    if (!wake) return;
    wakeAt_ = wake;
    lastTick_ = now;
    host_.SetScheduleTimer(true);
    timerRunning_ = true;
}

void WeeklySchedule::ShowWaiting(std::int64_t now) {
    if (waiting_ && waiting_->opening.start > now) {
        host_.ShowScheduleText(ScheduleMomentText(waiting_->opening.start, L"自动启动连接"));
        showingWait_ = true;
    } else if (showingWait_) {
        // The moment it named is no longer waited for.
        host_.ShowScheduleText(L"");
        showingWait_ = false;
    }
}

void WeeklySchedule::Arm() {
    StopWaiting();
    if (host_.ConnectionUp()) {
        showingWait_ = false;  // the pane is the session's now
        return;
    }
    const std::int64_t now = clock_.Now();
    if (AnythingPlanned()) {
        std::optional<Opening> open;
        for (const Opening& o : OpeningsAround(now)) {
            if (o.start <= now && now < o.stop) {
                open = o;
                break;
            }
        }
        // An opening is dialled once until a connection ends: its retries
        // are the dialer's, and a listing, midnight or a clock change must not
        // start another round of them.
        if (open && !host_.HangUpRequested() && open != dialled_) {
            if (!host_.DialInProgress()) return Dial(*open);
            // An attempt of someone else's is running: the timer tries again.
            waiting_ = Wait{*open, false};
        } else if (const auto next = NextOpening(now)) {
            waiting_ = Wait{*next, true};
        }
        WakeUp(now);
    }
    ShowWaiting(now);
}

void WeeklySchedule::OnTimer() {
    if (!wakeAt_) return StopWaiting();
    const std::int64_t now = clock_.Now();
    // A clock set back, or moved on by more than a period (a second more for
    // rounding), makes the moment waited for wrong: look again.
    const bool clockMoved =
        lastTick_ && (now < *lastTick_ || now - *lastTick_ > kTimerMs / 1000 + 1);
    lastTick_ = now;
    if (now < *wakeAt_ && !clockMoved) return ShowWaiting(now);
    if (waiting_ && now >= waiting_->opening.start && !host_.ConnectionUp() &&
        StillOpen(waiting_->opening, now)) {
        if (host_.DialInProgress()) return;  // the next tick tries again
        if (waiting_->clearsHangUp) host_.ClearHangUpRequest();
        if (!host_.HangUpRequested()) return Dial(waiting_->opening);
    }
    // Midnight, an opening missed while the machine slept, a clock that
    // moved, or a plan that changed: look again.
    Arm();
}

void WeeklySchedule::OnConnect() {
    showingWait_ = false;
    lastHangUp_.reset();
    hangUpAt_.reset();
    // Whether the connection is the dialled opening's own is asked each
    // second: RAS may report the connection after its address was seen.
    if (dialled_) hangUpAt_ = CurrentStop(dialled_->window, dialled_->start);
}

bool WeeklySchedule::HangUpDue() {
    if (!hangUpAt_ || !host_.ConnectedBySchedule()) return false;
    const std::int64_t now = clock_.Now();
    if (now < *hangUpAt_) {
        host_.ShowScheduleText(ScheduleMomentText(*hangUpAt_, L"自动断开连接"));
        return false;
    }
    // A hang-up that did not take (the PPPoE client's window was not found,
    // say) is asked for again while the connection lasts, now and then.
    if (lastHangUp_ && *lastHangUp_ <= now && now - *lastHangUp_ < kHangUpRetrySeconds) {
        return false;
    }
    lastHangUp_ = now;
    return true;
}

void WeeklySchedule::OnDisconnect() {
    dialled_.reset();
    hangUpAt_.reset();
    lastHangUp_.reset();
    Arm();
}

void WeeklySchedule::OnPlanSaved() {
    if (host_.ConnectionUp()) {
        if (dialled_) hangUpAt_ = CurrentStop(dialled_->window, dialled_->start);
        return;
    }
    Arm();
}

std::optional<WeeklySchedule::Opening> WeeklySchedule::Waiting() const {
    if (!waiting_) return std::nullopt;
    return waiting_->opening;
}

}  // namespace hourlink
