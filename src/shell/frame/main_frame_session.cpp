// CMainFrame, the session: the other threads' messages (the watcher's
// connection events, texts, dialling states), the end of Windows and sleep, and
// what the session core decides at a connect, an end, a tick and a new day,
// applied to the windows.
#include "shell/frame/main_frame.h"

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
            // The dialer hands its text in wParam, owned by the message too. A
            // dial thread that ends on its own says so this way: the buttons follow.
            if (auto text = TakeLogText(static_cast<LPARAM>(wp))) AppendLog(*text);
            UpdateButtons();
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
            RunLimitDecisions({session_->Limits().MonthPopup()});
            return true;
        case WM_TIMER:
            switch (wp) {
                case kSessionTimer:
                    OnSessionTick();
                    break;
                case kDayTimer:
                    OnDayTimer();
                    break;
                case kRetryTimer:
                    if (watcher_) watcher_->RetryPendingWrite();
                    if (!watcher_ || !watcher_->HasPendingWrite()) KillTimer(Hwnd(), kRetryTimer);
                    break;
                default:
                    if (automation_) automation_->OnTimer(wp);
            }
            return true;
        case WM_TIMECHANGE:
            // The clock was set: the day and the month may be others now, and
            // the next midnight is elsewhere.
            OnDayTimer();
            return true;
        case WM_QUERYENDSESSION:
            result = TRUE;
            return true;
        case WM_ENDSESSION:
            // Windows ends (shutdown, restart, logoff): the running session's
            // record gets its exact length now, not the last minute at the next start.
            if (wp) EndSessionNow();
            return true;
        case WM_POWERBROADCAST:
            // Every power event, suspend requests included, is granted. A sleep
            // ends the timed session: the time asleep is never billed, and the
            // watcher looks again at the wake-up.
            if (wp == PBT_APMSUSPEND) EndSessionNow();
            if (wp == PBT_APMRESUMEAUTOMATIC || wp == PBT_APMRESUMESUSPEND) {
                if (watcherThread_) watcherThread_->RequestCheck();
                OnDayTimer();
            }
            result = TRUE;
            return true;
    }
    return false;
}

// The automation acts on the session: it asks whether a connection is up and
// timed, dials and hangs up through the dialer, and reports in the status bar
// and the log.
void CMainFrame::CreateAutomation() {
    AutomationLinks links;
    links.connectionUp = [this] {
        return session_->Online() || (watcher_ && watcher_->IsActive());
    };
    links.connectionTimed = [this] { return session_->Timed(); };
    links.hangUpRequested = [this] { return dialer_->HangUpRequested(); };
    links.clearHangUpRequest = [this] { dialer_->ClearHangUpRequest(); };
    links.dialInProgress = [this] { return dialer_->AttemptRunning(); };
    links.dialScheduled = [this] { dialer_->DialScheduled(); };
    links.connectedBySchedule = [this] { return dialer_->ConnectedBySchedule(); };
    links.hangUp = [this] { HangUpConnection(); };
    links.showStatus = [this](std::wstring_view text) { SetPane(kMessagePane, text); };
    links.log = [this](std::wstring_view text) { AppendLog(text); };
    links.entryNames = [this] {
        std::vector<std::wstring> names;
        for (const std::string& name : ScheduleEntryChoices(network_))
            names.push_back(win::GbkToWide(name));
        return names;
    };
    automation_ = std::make_unique<FrameAutomation>(Hwnd(), *settings_, clock_, std::move(links));
}

LRESULT CMainFrame::OnConnectionEvent(std::unique_ptr<ConnectionStatus> status) {
    if (!status) return 0;
    const SessionCore::Change change =
        session_->OnConnectionEvent(*status, win::GbkToWide(status->Name()));
    LRESULT result = 0;
    if (change.kind == SessionCore::Change::Kind::kConnected) result = ApplyConnect(change);
    if (change.kind == SessionCore::Change::Kind::kDisconnected) ApplyDisconnect(change);
    // A record write that failed is tried again each second by the tick, and
    // without a tick every 10 seconds, until it lands.
    if (watcher_ && watcher_->HasPendingWrite() && !session_->Timed()) {
        SetTimer(Hwnd(), kRetryTimer, 10000, nullptr);
    }
    return result;
}

LRESULT CMainFrame::ApplyConnect(const SessionCore::Change& change) {
    dialer_->OnSessionStart(session_->Ras());
    trayIcon_.SetIcon(static_cast<UINT>(IDI_ONLINE));
    if (ReadSetting(*settings_, settings::kDropWindow) != 0) dropWindow_.SetVisible(true);
    monthBar_.SetSessionStart(change.startText);
    AppendLog(change.logLine);
    SetPane(kMessagePane, change.messagePane);
    for (int pane : {kReceivedPane, kSentPane, kSpeedPane}) SetPane(pane, L" ");
    if (change.timed && SetTimer(Hwnd(), kSessionTimer, 1000, nullptr) == 0) return -1;
    // The schedule's hang-up time; the shutdown check moves to the tick.
    automation_->OnConnect(change.timed);
    enumView_.MarkConnection(session_->Name());
    if (change.relist) {
        hourlinkView_.ListAgain();
    } else if (change.liveRow) {
        hourlinkView_.AddLiveRow(*change.liveRow);
    }
    if (change.timed) OnSessionTick();
    SavePlacement();
    UpdateButtons();
    return 0;
}

void CMainFrame::ApplyDisconnect(const SessionCore::Change& change) {
    if (change.timed) KillTimer(Hwnd(), kSessionTimer);
    // The entry just used is proposed next time; a LAN or the PPPoE client's
    // link names none and leaves the user's default alone.
    if (const std::wstring entry = enumView_.OnlineEntry(); !entry.empty()) {
        WriteSetting(*settings_, settings::kDefaultConnect, entry);
    }
    dialer_->OnSessionEnd();
    AppendLog(change.logLine);
    SetPane(kMessagePane, change.messagePane);
    trayIcon_.SetIcon(static_cast<UINT>(IDI_OFFLINE));
    dropWindow_.SavePlacement();
    dropWindow_.SetVisible(false);
    // The schedule is armed again and the shutdown check waits on its timer.
    automation_->OnDisconnect();
    enumView_.MarkConnection(L"END");
    // The list shows the completed record; its listing brings the offline texts.
    hourlinkView_.ListAgain();
    SavePlacement();
    UpdateButtons();
}

void CMainFrame::OnSessionTick() {
    // Settings changed outside the program while online are read again; at
    // each connect they are read afresh anyway.
    if (settingsWatch_.TakeChange()) session_->SettingsChanged();
    // Everything is decided first and shown next; the limits' dialogs come
    // last, and only while the session they were decided for still runs.
    const SessionCore::Tick tick = session_->OnTick();
    if (!session_->Timed()) return;
    // The main window's texts wait while it is hidden or minimised.
    TickText(kSessionLabelSlot, tick.sessionText + L"   ");
    TickText(kMonthLabelSlot, tick.texts.month + L"   ");
    dropWindow_.SetSessionTime(tick.sessionText);
    dropWindow_.SetMonthTime(tick.texts.month);
    dropWindow_.SetData(tick.texts.data);
    dropWindow_.SetAlarm(tick.dropAlarm);
    TickText(kTotalsPane, tick.texts.statusPane);
    trayIcon_.SetTooltipText(tick.texts.trayTip);
    if (watcher_) {
        // A record write that failed earlier is tried again each second.
        watcher_->RetryPendingWrite();
        watcher_->SetElapsed(tick.elapsed);
        const TrafficFigures& f = tick.trafficFigures;
        if (tick.traffic.sampled) watcher_->SetTraffic(f.speed, f.received, f.sent);
    }
    const TrafficTick& traffic = tick.traffic;
    if (!traffic.logText.empty()) AppendLog(traffic.logText);
    if (traffic.sampled) {
        TickText(kReceivedPane, traffic.receivedPane);
        TickText(kSentPane, traffic.sentPane);
        if (!traffic.speedPane.empty()) TickText(kSpeedPane, traffic.speedPane);
        if (!traffic.messagePane.empty()) TickText(kMessagePane, traffic.messagePane);
        if (!traffic.receivedRate.empty())
            dropWindow_.SetRates(traffic.receivedRate, traffic.sentRate);
    }
    if (tick.backup) backup_.Write(*tick.backup);
    for (const UsageWarning& warning : tick.warnings) {
        trayIcon_.ShowBalloon(kUsageWarningTitle, warning.text, warning.sound);
    }
    usageChartWnd_.Update();
    const std::uint64_t generation = session_->Generation();
    // Idle for the minutes the user chose: hung up at once, every second until
    // the end is seen.
    if (traffic.sampled && traffic.hangUp) dialer_->HangUp(session_->Name());
    RunLimitDecisions(tick.decisions);
    // The schedule's hang-up, then the shutdown check.
    if (session_->Generation() == generation) automation_->OnSessionTick();
}

bool CMainFrame::MainWindowShowing() const {
    return IsWindowVisible(Hwnd()) && !IsIconic(Hwnd());
}

void CMainFrame::TickText(std::size_t slot, std::wstring text) {
    if (heldTexts_.Offer(slot, text, MainWindowShowing())) SetMainText(slot, text);
}

void CMainFrame::SetMainText(std::size_t slot, std::wstring_view text) {
    if (slot == kSessionLabelSlot) {
        monthBar_.SetSessionTime(text);
    } else if (slot == kMonthLabelSlot) {
        monthBar_.SetMonthTotal(text);
    } else {
        statusBar_.SetPaneText(static_cast<int>(slot), text);
    }
}

void CMainFrame::SetPane(int pane, std::wstring_view text) {
    heldTexts_.Drop(static_cast<std::size_t>(pane));
    statusBar_.SetPaneText(pane, text);
}

void CMainFrame::ShowHeldTexts() {
    for (const auto& [slot, text] : heldTexts_.TakeAll()) SetMainText(slot, text);
}

void CMainFrame::RunLimitDecisions(const std::vector<LimitDecision>& decisions) {
    const std::uint64_t generation = session_->Generation();
    for (const LimitDecision& decision : decisions) {
        // A dialog of an earlier decision may have outlived the session.
        if (session_->Generation() != generation) return;
        session_->SetLimitDialogOpen(true);
        const bool hangUp = CarryOutLimitDecision(
            Hwnd(), decision, [this](DropAlarmState state) { dropWindow_.SetAlarm(state); });
        session_->SetLimitDialogOpen(false);
        if (hangUp && session_->Generation() == generation) HangUpConnection();
    }
}

void CMainFrame::HangUpConnection() {
    dialer_->HangUp(session_->Name());
    UpdateButtons();
}

void CMainFrame::ShowOfflineTexts() {
    const SessionTexts texts = session_->OfflineTexts();
    heldTexts_.Drop(kMonthLabelSlot);
    heldTexts_.Drop(kSessionLabelSlot);
    monthBar_.SetMonthTotal(texts.month + L"   ");
    dropWindow_.SetMonthTime(texts.month);
    dropWindow_.SetData(texts.data);
    trayIcon_.SetTooltipText(texts.trayTip);
    SetPane(kTotalsPane, texts.statusPane);
    SetPane(kSincePane, session_->CountingSinceText());
}

void CMainFrame::OnListed() {
    // The picker shows the month the list shows, which may have moved on.
    const YearMonth shown = session_->History().Month();
    monthBar_.SetMonth(shown.year, shown.month);
    if (!session_->Timed()) ShowOfflineTexts();
    UpdateButtons();
    usageChartWnd_.Update();
    automation_->OnListed();
    // Once per run, after the first listing: the dial at start-up.
    if (session_->OnListed()) dialer_->DialAtStartUp();
}

void CMainFrame::OnDayTimer() {
    SetTimer(Hwnd(), kDayTimer, session_->MillisecondsToNextDay(), nullptr);
    if (session_->OnDayTimer()) {
        hourlinkView_.ListAgain();
    } else if (!session_->Timed()) {
        ShowOfflineTexts();
    }
}

void CMainFrame::EndSessionNow() {
    if (!session_->Timed() || !watcher_ || !watcher_->IsActive()) return;
    // The watcher records the end and sends it here at once (this thread).
    watcher_->SetElapsed(session_->Elapsed());
    watcher_->EndSession();
}

}  // namespace hourlink
