// SessionCore: the running session as the main window lives it, apart from any
// window. It takes the watcher's connection events, the once-a-second tick of a
// timed session and the day's roll, keeps the session's state (online, its
// name and RAS handle, its length, whether it is timed, the events already
// applied), moves the current accounting month on with the calendar, and
// returns what to show and what to do. The frame applies it: it sets the
// texts, runs the timer, shows the limit dialogs and hangs up.
//
// It owns the history model (whose figures it counts), the limit monitor and
// the traffic meter. Every decision is made before anything is acted on: a
// tick's limit decisions come back as a list, and the frame checks after each
// dialog that the session is still the one the tick was for (Generation).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/accounting/limits.h"
#include "core/accounting/session_clock.h"
#include "core/accounting/traffic.h"
#include "core/base/clock.h"
#include "core/history/history_list.h"
#include "core/net/connection_watcher.h"
#include "core/net/network_info.h"
#include "core/records/record_table.h"
#include "core/session/usage_alerts.h"
#include "core/settings/cached_settings_store.h"
#include "core/settings/settings_store.h"

namespace hourlink {

// The texts of the session's figures, wherever the frame shows them.
struct SessionTexts {
    std::wstring month;       // "本月用时" of the month bar and the drop window
    std::wstring statusPane;  // the totals pane: the list's own figures
    std::wstring trayTip;
    // The month's data against the allowance, "1.23 GB/2 GB"; empty when no
    // allowance is set.
    std::wstring data;
};

class SessionCore {
  public:
    SessionCore(RecordTable& table, SettingsStore& settings, const Clock& clock,
                NetworkInfo& network, LimitMonitor::LockQuery isLocked = {});
    SessionCore(const SessionCore&) = delete;
    SessionCore& operator=(const SessionCore&) = delete;

    HistoryList& History() { return history_; }
    const HistoryList& History() const { return history_; }
    LimitMonitor& Limits() { return limits_; }
    TrafficMeter& Traffic() { return traffic_; }

    // ---- Connection events ----

    struct Change {
        enum class Kind { kNone, kConnected, kDisconnected };
        Kind kind = Kind::kNone;  // kNone: the event was dropped
        bool timed = false;       // a timed connection: the tick runs while it is up
        std::wstring logLine;     // "名称在线\r\n", "名称离线\r\n"
        std::wstring messagePane;
        std::wstring startText;  // at a connect: the session's start, for the month bar
        // At a connect: the running session's row, when the month shown lists it
        // and the list is not listed again anyway.
        std::optional<ListedRow> liveRow;
        // The list is to be listed again: a session ended, or the month moved.
        bool relist = false;
    };
    // The watcher's event, with the connection's name as the window shows it.
    // A start numbered lower than an event already applied arrives after its
    // own end and is dropped.
    Change OnConnectionEvent(const ConnectionStatus& status, std::wstring name);

    // ---- The tick of a timed session ----

    struct Tick {
        std::uint32_t elapsed = 0;  // the session's seconds, for the watcher's status block
        std::wstring sessionText;   // "本次用时" of the month bar and the drop window
        SessionTexts texts;
        DropAlarmState dropAlarm = DropAlarmState::kNone;
        // What the limits decided, in order: act on them after everything else,
        // and stop when the session changed meanwhile.
        std::vector<LimitDecision> decisions;
        TrafficTick traffic;
        TrafficFigures trafficFigures;  // for the watcher's status block
        // Balloons for the tray, shown after the texts; they never interrupt.
        std::vector<UsageWarning> warnings;
        std::optional<std::int64_t> backup;
    };
    Tick OnTick();

    // The settings may have changed (the options confirmed, the registry key
    // changed): the limits and the idle rule read them again. Each connect
    // reads them afresh too.
    void SettingsChanged() { tickSettings_.Forget(); }

    // A limit dialog of an earlier tick is open: later ticks decide no limits.
    void SetLimitDialogOpen(bool open) { limitDialogOpen_ = open; }

    // ---- Offline, and the day ----

    // The texts while no session is timed.
    SessionTexts OfflineTexts() const;
    // "从…开始计时" of the month shown.
    std::wstring CountingSinceText() const;
    // A new day may have begun (the day timer, a resume): today's figures start
    // again, and with no session running the current month follows the
    // calendar. True when the list is to be listed again.
    bool OnDayTimer();
    // Milliseconds to the next local midnight, for the day timer (at least 1 s).
    std::uint32_t MillisecondsToNextDay() const;

    // The history has been listed: true once per run, after the first listing,
    // when the dial at start-up is due (offline, and Advance/StartUpConnect set).
    bool OnListed();

    // ---- The state ----

    bool Online() const { return online_; }
    // The tick runs: a timed connection is up.
    bool Timed() const { return timed_; }
    const std::wstring& Name() const { return name_; }
    RasHandle Ras() const { return ras_; }
    std::uint32_t Elapsed() const;
    // Changes at every connect and end; the frame compares it before and after
    // a dialog to tell whether the session it acted for is still running.
    std::uint64_t Generation() const { return generation_; }
    // The figures of the whole current month and of what the list shows.
    AccountingFigures CurrentFigures() const { return history_.CurrentFigures(); }
    AccountingFigures ShownFigures() const { return history_.Figures(); }
    // Bytes of the current month, the running session's included.
    std::int64_t MonthBytes() const;

  private:
    Change OnConnect(std::wstring name);
    Change OnDisconnect(std::wstring name);
    // "1.23 GB/2 GB" of the current month, or empty without an allowance.
    std::wstring DataText(SettingsStore& store) const;

    SettingsStore& settings_;
    const Clock& clock_;
    NetworkInfo& network_;
    // What the limits and the traffic meter read at every tick, read once.
    CachedSettingsStore tickSettings_;
    HistoryList history_;
    LimitMonitor limits_;
    TrafficMeter traffic_;
    UsageAlerts alerts_;

    ConnectionStatus status_;
    bool online_ = false;
    bool timed_ = false;
    std::wstring name_;
    RasHandle ras_ = 0;
    SessionClock sessionClock_;
    std::uint32_t lastEventSequence_ = 0;
    std::uint64_t generation_ = 0;
    bool limitDialogOpen_ = false;
    bool firstListing_ = true;
};

}  // namespace hourlink
