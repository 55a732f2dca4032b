// CMainFrame, the session: the other threads' messages (the watcher's
// connection events, texts, dialling states), the tick of a timed session with
// its texts, traffic and limit decisions, and the offline texts shown whenever
// the history list has listed a month.
#include "shell/frame/main_frame.h"

#include "core/net/connection_type.h"
#include "core/settings/settings.h"
#include "res/resource.h"
#include "shell/dialogs/limit_popup.h"
#include "shell/frame/frame_messages.h"
#include "shell/win/text.h"

namespace hourlink {

bool CMainFrame::OnSessionMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    result = 0;
    switch (msg) {
        case WM_CONNECTION_EVENT:
            result = OnConnectionEvent(TakeConnectionStatus(wp));
            return true;
        case WM_RECORDS_UPDATED:
            // The list reads the table the watcher has loaded, and reports with OnListed.
            if (wp == 1) hourlinkView_.LoadRecords();
            return true;
        case WM_LOG_TEXT:
            if (auto text = TakeLogText(lp)) AppendLog(*text);
            result = 1;
            return true;
        case WM_DIAL_TEXT:
            // The dialer hands its text in wParam, owned by the message too.
            if (auto text = TakeLogText(static_cast<LPARAM>(wp))) AppendLog(*text);
            result = 1;
            return true;
        case WM_SHOW_MESSAGE:
            // wParam: the box's icon and buttons.
            if (auto text = TakeLogText(lp)) {
                MessageBoxW(Hwnd(), text->c_str(), L"Hourlink", static_cast<UINT>(wp));
            }
            return true;
        case WM_RAS_DIAL_STATE:
            if (dialer_) dialer_->OnDialState(static_cast<int>(wp), static_cast<std::uint32_t>(lp));
            UpdateButtons();
            return true;
        case WM_LIMIT_ALARM:
            if (limits_) RunLimitDecision(limits_->MonthPopup());
            return true;
        case WM_TIMER:
            if (wp == kSessionTimer) {
                OnSessionTick();
            } else if (automation_) {
                automation_->OnTimer(wp);
            }
            return true;
    }
    return false;
}

// The automation acts on the session: it asks whether a connection is up and
// timed, dials and hangs up through the dialer, and reports in the status bar
// and the log.
void CMainFrame::CreateAutomation() {
    AutomationLinks links;
    links.connectionUp = [this] { return online_ || (watcher_ && watcher_->IsActive()); };
    links.connectionTimed = [this] { return sessionTimerRunning_; };
    links.hangUpRequested = [this] { return dialer_->HangUpRequested(); };
    links.clearHangUpRequest = [this] { dialer_->ClearHangUpRequest(); };
    links.dialInProgress = [this] { return dialer_->AttemptRunning(); };
    links.dialScheduled = [this] { dialer_->DialScheduled(); };
    links.retriesArmed = [this] { return dialer_->RetriesArmed(); };
    links.hangUp = [this] { HangUpConnection(); };
    links.showStatus = [this](std::wstring_view text) {
        statusBar_.SetPaneText(kMessagePane, text);
    };
    links.log = [this](std::wstring_view text) { AppendLog(text); };
    links.entryNames = [this] {
        std::vector<std::wstring> names;
        for (const std::string& name : ScheduleEntryChoices(network_))
            names.push_back(win::GbkToWide(name));
        return names;
    };
    automation_ = std::make_unique<FrameAutomation>(Hwnd(), *settings_, clock_, std::move(links));
}

std::uint32_t CMainFrame::SessionElapsed() const {
    return sessionClock_.Elapsed(static_cast<std::uint32_t>(clock_.TickCount()));
}

LRESULT CMainFrame::OnConnectionEvent(std::unique_ptr<ConnectionStatus> status) {
    if (!status) return 0;
    // A start posted before its end was sent can arrive after the end: the
    // session is over, so the start is dropped.
    if (status->sequence != 0) {
        if (status->sequence <= lastEventSequence_) return 0;
        lastEventSequence_ = status->sequence;
    }
    // Common start: the status, and a new day for the history list once one
    // has passed since its day began (today's figures restart at 0 before the
    // first tick of the session counts them).
    status_ = *status;
    hourlinkView_.RollDay();
    if (status_.online != 0) return OnConnect();
    OnDisconnect();
    return 0;
}

LRESULT CMainFrame::OnConnect() {
    online_ = true;
    rasHandle_ = status_.rasConnection;
    dialer_->OnSessionStart(rasHandle_);
    traffic_->Reset();
    trayIcon_.SetIcon(static_cast<UINT>(IDI_ONLINE));
    if (ReadSetting(*settings_, settings::kDropWindow) != 0) dropWindow_.SetVisible(true);

    const std::int64_t now = clock_.Now();
    monthBar_.SetSessionStart(SessionStartText(status_.start, now));
    connectionName_ = win::GbkToWide(status_.Name());
    AppendLog(connectionName_ + L"在线\r\n");
    statusBar_.SetPaneText(kMessagePane, connectionName_ + L"在线");
    for (int pane : {kReceivedPane, kSentPane, kSpeedPane}) statusBar_.SetPaneText(pane, L" ");

    const bool timed = IsTimedConnectionType(status_.type);
    if (timed) {
        if (SetTimer(Hwnd(), kSessionTimer, 1000, nullptr) == 0) return -1;
        sessionTimerRunning_ = true;
    }
    // The schedule's hang-up time; the shutdown check moves to the tick.
    automation_->OnConnect(sessionTimerRunning_);
    sessionClock_.Start(now, status_.start, static_cast<std::uint32_t>(clock_.TickCount()));
    if (timed) OnSessionTick();
    CommonTail();
    return 0;
}

void CMainFrame::OnDisconnect() {
    // An end whose start never arrived names its connection itself.
    if (!online_) connectionName_ = win::GbkToWide(status_.Name());
    if (IsTimedConnectionType(status_.type)) {
        KillTimer(Hwnd(), kSessionTimer);
        sessionTimerRunning_ = false;
    }
    rasHandle_ = 0;
    // The entry just used is proposed next time; a LAN or the PPPoE client's
    // link names none and leaves the user's default alone.
    if (const std::wstring entry = enumView_.OnlineEntry(); !entry.empty()) {
        WriteSetting(*settings_, settings::kDefaultConnect, entry);
    }
    dialer_->OnSessionEnd();
    AppendLog(connectionName_ + L"离线\r\n");
    statusBar_.SetPaneText(kMessagePane, connectionName_ + L"离线");
    online_ = false;
    if (limits_) limits_->OnDisconnect();
    trayIcon_.SetIcon(static_cast<UINT>(IDI_OFFLINE));
    dropWindow_.SavePlacement();
    dropWindow_.SetVisible(false);
    // The schedule is armed again and the shutdown check waits on its timer.
    automation_->OnDisconnect();
    CommonTail();
    traffic_->Reset();
}

void CMainFrame::CommonTail() {
    enumView_.MarkConnection(online_ ? std::wstring_view(connectionName_) : L"END");
    // The history list adds the live row, or completes it with the traffic of
    // the session and lists the month again.
    const TrafficFigures& traffic = traffic_->Figures();
    hourlinkView_.OnConnectionEvent(status_, traffic.received, traffic.sent);
    SavePlacement();
    UpdateButtons();
}

void CMainFrame::OnSessionTick() {
    const std::uint32_t session = SessionElapsed();
    const AccountingFigures figures = Figures();
    const TickTexts texts = MakeTickTexts(figures, session, hourlinkView_.ShowingCurrentMonth());
    monthBar_.SetSessionTime(texts.session + L"   ");
    monthBar_.SetMonthTotal(texts.month + L"   ");
    dropWindow_.SetSessionTime(texts.session);
    dropWindow_.SetMonthTime(texts.month);
    // A popup or countdown of an earlier tick is still open: no second one.
    if (!inLimitDialog_ && limits_) RunLimitDecision(limits_->CheckMonth(texts.accumulatedMinutes));
    if (watcher_) watcher_->SetElapsed(session);
    if (!inLimitDialog_ && limits_)
        RunLimitDecision(limits_->CheckDay(figures.todayTotal, session));
    statusBar_.SetPaneText(kTotalsPane, texts.statusPane);
    if (limits_) dropWindow_.SetAlarm(limits_->DropAlarm());
    trayTip_ = TickTrayTip(texts, limits_ && limits_->DropAlarm() == DropAlarmState::kMonth);
    trayIcon_.SetTooltipText(trayTip_);
    SampleTraffic();
    backup_.WriteAtFullMinute(session);
    // The schedule's hang-up, then the shutdown check.
    automation_->OnSessionTick();
    usageChartWnd_.Update();
}

void CMainFrame::SampleTraffic() {
    // Texts that use the name later (the disconnect line, the exit question)
    // show it in capitals from here on.
    connectionName_ = AsciiUpper(connectionName_);
    const TrafficTick tick = traffic_->Sample(network_.IsNtFamily(), rasHandle_, connectionName_);
    if (!tick.logText.empty()) AppendLog(tick.logText);
    if (!tick.sampled) return;
    statusBar_.SetPaneText(kReceivedPane, tick.receivedPane);
    statusBar_.SetPaneText(kSentPane, tick.sentPane);
    if (!tick.speedPane.empty()) statusBar_.SetPaneText(kSpeedPane, tick.speedPane);
    if (!tick.messagePane.empty()) statusBar_.SetPaneText(kMessagePane, tick.messagePane);
    if (!tick.receivedRate.empty()) dropWindow_.SetRates(tick.receivedRate, tick.sentRate);
    const TrafficFigures& figures = traffic_->Figures();
    if (watcher_) watcher_->SetTraffic(figures.speed, figures.received, figures.sent);
    // Idle for the minutes the user chose: hung up at once, every second until
    // the end is seen.
    if (tick.hangUp) dialer_->HangUp(connectionName_);
}

void CMainFrame::RunLimitDecision(const LimitDecision& decision) {
    inLimitDialog_ = true;
    // The drop window shows the alarm state once it exists.
    const bool hangUp = CarryOutLimitDecision(
        Hwnd(), decision, [this](DropAlarmState state) { dropWindow_.SetAlarm(state); });
    inLimitDialog_ = false;
    if (hangUp) HangUpConnection();
}

void CMainFrame::HangUpConnection() {
    dialer_->HangUp(connectionName_);
    UpdateButtons();
}

void CMainFrame::ShowOfflineTexts() {
    const OfflineTexts texts = MakeOfflineTexts(Figures());
    monthBar_.SetMonthTotal(texts.month + L"   ");
    dropWindow_.SetMonthTime(texts.month);
    trayTip_ = texts.trayTip;
    trayIcon_.SetTooltipText(trayTip_);
    statusBar_.SetPaneText(kTotalsPane, texts.statusPane);
    statusBar_.SetPaneText(kSincePane,
                           CountingSinceText(hourlinkView_.Month(), hourlinkView_.StartDay()));
}

void CMainFrame::OnListed() {
    ShowOfflineTexts();
    UpdateButtons();
    usageChartWnd_.Update();
    automation_->OnListed();
    // Once per run, after the first listing: the dial at start-up.
    if (firstListing_ && !online_ && ReadSetting(*settings_, settings::kStartUpConnect) != 0) {
        dialer_->DialAtStartUp();
    }
    firstListing_ = false;
}

}  // namespace hourlink
