#include "core/session/session_core.h"

#include <algorithm>

#include "core/accounting/data_allowance.h"
#include "core/base/time_format.h"
#include "core/net/connection_type.h"
#include "core/net/dialer.h"
#include "core/records/backup_file.h"
#include "core/settings/settings.h"

namespace hourlink {

SessionCore::SessionCore(RecordTable& table, SettingsStore& settings, const Clock& clock,
                         NetworkInfo& network, LimitMonitor::LockQuery isLocked)
    : settings_(settings),
      clock_(clock),
      network_(network),
      tickSettings_(settings),
      history_(table, clock),
      limits_(tickSettings_, isLocked),
      traffic_(network, tickSettings_),
      alerts_(tickSettings_, std::move(isLocked)) {
    history_.Start(ReadStartDay(settings));
}

std::uint32_t SessionCore::Elapsed() const {
    return timed_ ? sessionClock_.Elapsed(static_cast<std::uint32_t>(clock_.TickCount())) : 0;
}

SessionCore::Change SessionCore::OnConnectionEvent(const ConnectionStatus& status,
                                                   std::wstring name) {
    // A start posted before its end was sent can arrive after the end: the
    // session is over, so the start is dropped.
    if (status.sequence != 0) {
        if (status.sequence <= lastEventSequence_) return {};
        lastEventSequence_ = status.sequence;
    }
    status_ = status;
    ++generation_;
    // Today's figures restart at 0 once a day has passed since the day began,
    // before the session's first tick counts them.
    history_.RollDay();
    return status.online != 0 ? OnConnect(std::move(name)) : OnDisconnect(std::move(name));
}

SessionCore::Change SessionCore::OnConnect(std::wstring name) {
    Change change;
    change.kind = Change::Kind::kConnected;
    // With no session running, the time now counts into today's month.
    if (!online_ && history_.FollowCalendar()) {
        history_.ComputeWindow();
        change.relist = true;
    }
    online_ = true;
    tickSettings_.Forget();
    ras_ = status_.rasConnection;
    traffic_.Reset();
    name_ = std::move(name);
    const std::int64_t now = clock_.Now();
    change.startText = SessionStartText(status_.start, now);
    change.logLine = name_ + L"在线\r\n";
    change.messagePane = name_ + L"在线";
    timed_ = change.timed = IsTimedConnectionType(status_.type);
    sessionClock_.Start(now, status_.start, static_cast<std::uint32_t>(clock_.TickCount()));
    auto row = history_.OnSessionStart(status_);
    if (!change.relist) change.liveRow = std::move(row);
    return change;
}

SessionCore::Change SessionCore::OnDisconnect(std::wstring name) {
    Change change;
    change.kind = Change::Kind::kDisconnected;
    // An end whose start never arrived names its connection itself.
    if (!online_) name_ = std::move(name);
    change.timed = IsTimedConnectionType(status_.type);
    change.logLine = name_ + L"离线\r\n";
    change.messagePane = name_ + L"离线";
    const TrafficFigures& traffic = traffic_.Figures();
    history_.OnSessionEnd(status_, traffic.received, traffic.sent);
    online_ = false;
    timed_ = false;
    ras_ = 0;
    limits_.OnDisconnect();
    traffic_.Reset();
    // No session runs now: the current month follows the calendar.
    if (history_.FollowCalendar()) history_.ComputeWindow();
    change.relist = true;
    return change;
}

SessionCore::Tick SessionCore::OnTick() {
    Tick tick;
    if (!timed_) return tick;
    const std::uint32_t session = Elapsed();
    tick.elapsed = session;
    // The time used counts the whole current month, whatever the list shows;
    // the list's own totals follow what it shows.
    const TickTexts used = MakeTickTexts(history_.CurrentFigures(), session, true);
    const TickTexts shown =
        MakeTickTexts(history_.Figures(), session, history_.ShowingCurrentMonth());
    tick.sessionText = used.session;
    tick.texts.month = used.month;
    tick.texts.statusPane = shown.statusPane;
    if (!limitDialogOpen_) {
        for (LimitDecision d : {limits_.CheckMonth(used.accumulatedMinutes),
                                limits_.CheckDay(history_.CurrentFigures().todayTotal, session)}) {
            if (d.action != LimitDecision::Action::kNone || d.dropAlarm) {
                tick.decisions.push_back(std::move(d));
            }
        }
    }
    tick.dropAlarm = limits_.DropAlarm();
    tick.texts.trayTip = TickTrayTip(used, tick.dropAlarm == DropAlarmState::kMonth);
    // Texts that use the name later (the disconnect line, the exit question)
    // show it in capitals from here on.
    name_ = AsciiUpper(name_);
    tick.traffic = traffic_.Sample(network_.IsNtFamily(), ras_, name_);
    tick.trafficFigures = traffic_.Figures();
    // The month's data is judged on this tick's sample, the time on its seconds.
    const MonthUsage usage{history_.CurrentMonth(), history_.StartDay(), clock_.Now(),
                           history_.CurrentFigures().monthBilled + session, MonthBytes()};
    if (!limitDialogOpen_) {
        if (LimitDecision d = alerts_.CheckData(usage); d.action != LimitDecision::Action::kNone) {
            tick.decisions.push_back(std::move(d));
        }
    }
    tick.warnings = alerts_.CheckWarnings(usage);
    tick.texts.data = DataText(tickSettings_);
    if (!tick.texts.data.empty())
        tick.texts.trayTip += std::wstring(kTipDataLine) + tick.texts.data;
    if (BackupFile::IsFullMinute(session)) tick.backup = session;
    return tick;
}

SessionTexts SessionCore::OfflineTexts() const {
    const hourlink::OfflineTexts used = MakeOfflineTexts(history_.CurrentFigures());
    SessionTexts texts;
    texts.month = used.month;
    texts.trayTip = used.trayTip;
    texts.statusPane = MakeOfflineTexts(history_.Figures()).statusPane;
    texts.data = DataText(settings_);
    if (!texts.data.empty()) texts.trayTip += std::wstring(kTipDataLine) + texts.data;
    return texts;
}

std::int64_t SessionCore::MonthBytes() const {
    return history_.CurrentFigures().monthBytes + (timed_ ? traffic_.SessionBytes() : 0);
}

std::wstring SessionCore::DataText(SettingsStore& store) const {
    const std::int64_t allowance = ReadDataAllowance(store);
    if (allowance <= 0) return {};
    return FormatDataAmount(MonthBytes()) + L"/" +
           GigabytesText(static_cast<int>(allowance / kBytesPerMegabyte)) + L" GB";
}

std::wstring SessionCore::CountingSinceText() const {
    return hourlink::CountingSinceText(history_.Month(), history_.StartDay());
}

bool SessionCore::OnDayTimer() {
    const bool rolled = history_.RollDay();
    if (online_) return rolled;
    if (history_.FollowCalendar()) {
        history_.ComputeWindow();
        return true;
    }
    return rolled;
}

std::uint32_t SessionCore::MillisecondsToNextDay() const {
    const std::int64_t now = clock_.Now();
    // A day lasts 23 to 25 hours: 26 hours after today's midnight is tomorrow.
    const std::int64_t next = LocalMidnightOf(LocalMidnightOf(now) + 26 * 3600);
    const std::int64_t seconds = std::clamp<std::int64_t>(next - now, 1, 25 * 3600);
    return static_cast<std::uint32_t>(seconds * 1000);
}

bool SessionCore::OnListed() {
    const bool first = firstListing_;
    firstListing_ = false;
    return first && !online_ && ReadSetting(settings_, settings::kStartUpConnect) != 0;
}

}  // namespace hourlink
