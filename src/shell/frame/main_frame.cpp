#include "shell/frame/main_frame.h"

#include <commctrl.h>

#include <algorithm>
#include <ctime>

#include "shell/dialogs/about_dialog.h"
#include "shell/frame/hourlink_app.h"
#include "shell/dialogs/options_dialog.h"
#include "core/settings/settings.h"
#include "shell/platform/startup_entry.h"
#include "core/automation/schedule.h"
#include "core/base/file_system.h"
#include "core/base/time_format.h"
#include "shell/dialogs/program_lock.h"
#include "core/net/connection_type.h"
#include "res/resource.h"
#include "shell/dialogs/ping_dialog.h"
#include "shell/frame/csv_export.h"
#include "shell/frame/frame_services.h"
#include "shell/frame/html_report.h"
#include "shell/dialogs/limit_popup.h"
#include "core/ui/device_tree.h"
#include "shell/win/text.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace hourlink {

std::atomic<RasHandle> g_rasConnection = 0;

namespace {

constexpr wchar_t kClassName[] = L"Hourlink.MainFrame";
constexpr int kStatusBarId = 0xE801;  // the framework's standard status bar id
constexpr int kTreeId = 0xE900;
constexpr int kListId = 0xE901;
constexpr int kTextPaneId = 0xE902;
constexpr int kTreeWidth = 200;

HICON LoadProgramIcon(int sizeMetricX, int sizeMetricY) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                         IMAGE_ICON, GetSystemMetrics(sizeMetricX),
                                         GetSystemMetrics(sizeMetricY), LR_SHARED));
}

std::wstring FromGbk(std::string_view gbk) {
    return win::GbkToWide(gbk);
}

}  // namespace

CMainFrame::CMainFrame(const Clock& clock, DialPlatform* dial)
    : clock_(clock),
      notifier_(std::make_unique<WindowNotifier>([this] { return Hwnd(); },
                                                 [this](std::wstring_view what, int code) {
                                                     if (watcher_) watcher_->Report(what, code);
                                                 })),
      network_(platform_, *notifier_, clock),
      records_(files_, clock, *notifier_),
      dial_(dial ? *dial : win32Dial_) {}

CMainFrame::~CMainFrame() {
    // The thread talks to the window and the watcher: it goes first.
    watcherThread_.reset();
    // While this class still handles WM_DESTROY (the placement is saved there).
    Destroy();
    if (font_) DeleteObject(font_);
}

std::wstring CMainFrame::Title() {
    std::wstring title(win::Field(win::LoadResourceString(IDR_MAINFRAME), 0));
    return title.empty() ? L"Hourlink" : title;
}

bool CMainFrame::Create(SettingsStore& settings) {
    settings_ = &settings;
    // Before anything reads a setting: missing values get their defaults.
    translucent_ = NormalizeSettingsAtStartup(settings);
    win::WindowClass wc;
    wc.name = kClassName;
    wc.icon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    wc.smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
    wc.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.menuName = MAKEINTRESOURCEW(IDR_MAINFRAME);
    const std::wstring title = Title();
    win::CreateArgs args;
    args.title = title.c_str();
    args.width = 800;
    args.height = 560;
    // A saved placement is used only when all five values are there.
    if (const auto saved = ReadWindowPlacement(settings, settings::kFrame)) {
        const WindowRect r =
            PlaceOnScreen(*saved, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
        if (r.width > 0 && r.height > 0) {
            args.x = r.x;
            args.y = r.y;
            args.width = r.width;
            args.height = r.height;
        }
        // The saved show command: a window closed maximised comes back maximised
        // (when it is shown; the command line decides that).
        if (saved->status == SW_SHOWMAXIMIZED) args.style |= WS_MAXIMIZE;
    }
    return win::Window::Create(wc, args);
}

int CMainFrame::OnCreate() {
    events_ = std::make_unique<FrameWatcherEvents>(Hwnd(), settings_);
    watcher_ = std::make_unique<ConnectionWatcher>(network_, records_, table_, *settings_, clock_,
                                                   *events_);
    maintenance_ = std::make_unique<RecordMaintenance>(files_, clock_, *settings_, *notifier_);
    watcher_->SetStartupRecovery(maintenance_->StartupRecovery());
    records_.SetPurgeCheck(maintenance_->PurgeCheck());
    // While the program is locked a limit hangs up without the cancellable countdown.
    limits_ = std::make_unique<LimitMonitor>(*settings_, &ProgramLock::IsProtected);
    if (!platform_.RasLoaded()) notifier_->ShowMessage(L"LoadLibrary(rasapi32.dll)");
    dialHost_ = std::make_unique<WindowDialHost>(
        [this] { return Hwnd(); }, network_, [this](std::wstring_view text) { AppendLog(text); });
    dialer_ = std::make_unique<Dialer>(dial_, network_, *settings_, *dialHost_, dialTiming_);
    traffic_ = std::make_unique<TrafficMeter>(network_, *settings_);
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
            names.push_back(FromGbk(name));
        return names;
    };
    automation_ = std::make_unique<FrameAutomation>(Hwnd(), *settings_, clock_, std::move(links));
    Win32DialPlatform::SetNotifyWindow(Hwnd());

    CreateStatusBar();
    dropWindow_.Create(Hwnd(), *settings_);
    // The month bar in the status bar's font.
    if (!monthBar_.Create(Hwnd(), statusBar_.Font())) return -1;
    monthBar_.OnMonthChanged([this](int year, int month) { OnMonthPicked(year, month); });
    monthBar_.OnHotButtonChanged(
        [this](int command) { statusBar_.PromptCommand(static_cast<UINT>(command)); });
    CreateViews();
    // The picker starts on the month the history list shows: this accounting month.
    const YearMonth month = historyView_.Month();
    monthBar_.SetMonth(month.year, month.month);
    UpdateButtons();
    LayoutChildren();
    ShowOfflineTexts();
    // Putting up the icon is a round trip to the shell's process: it waits
    // until the main window is on the screen.
    PostMessageW(Hwnd(), WM_PUT_UP_TRAY_ICON, 0, 0);
    return 0;
}

void CMainFrame::PutUpTrayIcon() {
    // The state and tip of the moment: what came before was kept by the frame.
    const auto icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(online_ ? IDI_ONLINE : IDI_OFFLINE),
                   IMAGE_ICON, 16, 16, LR_SHARED));
    trayIcon_.Create(Hwnd(), WM_TRAY_NOTIFY, trayTip_, icon, IDR_TRAY_MENU);
}

void CMainFrame::CreateStatusBar() {
    statusBar_.Create(Hwnd(), kStatusBarId);
    // Panes sized by the blank strings 130..134: counting since, totals,
    // received, sent, speed.
    std::vector<int> widths{100};
    for (int id :
         {IDS_PANE_SINCE, IDS_PANE_TOTALS, IDS_PANE_RECEIVED, IDS_PANE_SENT, IDS_PANE_SPEED}) {
        widths.push_back(statusBar_.TextWidth(win::LoadResourceString(id)));
    }
    statusBar_.SetPaneWidths(std::move(widths));
}

void CMainFrame::CreateViews() {
    outerSplitter_.Create(Hwnd(), 1, 2, 0xE810);
    innerSplitter_.Create(outerSplitter_.Hwnd(), 2, 1, 0xE811, WS_CHILD | WS_VISIBLE | WS_BORDER);
    ui::CEnumView::Args tree;
    tree.parent = outerSplitter_.Hwnd();
    tree.id = kTreeId;
    tree.frame = Hwnd();
    tree.devices = ProbeDevices(network_);
    tree.selectionChanged = [this](std::wstring_view text) {
        historyView_.ApplyTreeSelection(text);
        UpdateButtons();
    };
    enumView_.Create(std::move(tree));
    ui::CHourlinkView::Args view;
    view.parent = innerSplitter_.Hwnd();
    view.id = kListId;
    view.frame = Hwnd();
    view.table = &table_;
    view.settings = settings_;
    view.files = &files_;
    view.notifier = notifier_.get();
    view.clock = &clock_;
    view.recordPath = RecordPath();
    view.appendText = [this](std::wstring_view text) { textPane_.Append(text); };
    view.selectionChanged = [this] { UpdateButtons(); };
    historyView_.Create(std::move(view));
    textPane_.Create(innerSplitter_.Hwnd(), kTextPaneId, statusBar_.Font());

    outerSplitter_.SetPane(0, 0, enumView_.Hwnd());
    outerSplitter_.SetPane(0, 1, innerSplitter_.Hwnd());
    innerSplitter_.SetPane(0, 0, historyView_.Hwnd());
    innerSplitter_.SetPane(1, 0, textPane_.Hwnd());
    outerSplitter_.SetColumnWidth(0, kTreeWidth);
}

void CMainFrame::LayoutChildren() {
    if (!statusBar_.Hwnd()) return;
    RECT client{};
    GetClientRect(Hwnd(), &client);
    monthBar_.AutoSize();
    // The picker may lose its font when the bar is laid out again.
    monthBar_.SetFont(statusBar_.Font());
    statusBar_.AutoSize();
    RECT bar{};
    GetWindowRect(monthBar_.Hwnd(), &bar);
    const int top = bar.bottom - bar.top;
    const int bottom = client.bottom - statusBar_.Height();
    const int height = std::max(0, bottom - top);
    MoveWindow(outerSplitter_.Hwnd(), 0, top, client.right, height, TRUE);
    // The history list takes two thirds of the height, the text pane the rest.
    const bool first = innerSplitter_.RowHeight(0) <= 0;
    if (first) innerSplitter_.SetRowHeight(0, (client.bottom - client.top) * 2 / 3);
}

void CMainFrame::OnInitialUpdate() {
    if (watcherThread_ || !watcher_) return;
    watcherThread_ = std::make_unique<WatcherThread>(*watcher_, RecordPath());
    watcherThread_->Start(THREAD_PRIORITY_NORMAL);
    // The running session's length goes to "adsl.bak" beside the record file
    // every full minute, so a crash loses at most the last minute.
    backup_.Open(BackupFile::PathBeside(RecordPath()));
}

std::wstring CMainFrame::RecordPath() const {
    return JoinPath(ReadDataDirectory(*settings_, ProgramDirectory().value_or(std::wstring())),
                    L"adsl.bs");
}

void CMainFrame::AppendLog(std::wstring_view text) {
    textPane_.Append(text);
}

std::uint32_t CMainFrame::SessionElapsed() const {
    return sessionClock_.Elapsed(static_cast<std::uint32_t>(clock_.TickCount()));
}

LRESULT CMainFrame::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    // The shell started again (Explorer restarted, or came late at logon).
    if (msg == ui::CTrayIcon::TaskbarCreatedMessage()) {
        trayIcon_.OnTaskbarCreated();
        return 0;
    }
    switch (msg) {
        case WM_TRAY_NOTIFY:
            trayIcon_.OnTrayNotification(wp, lp);
            return 0;
        case WM_PUT_UP_TRAY_ICON:
            PutUpTrayIcon();
            return 0;
        case WM_CREATE:
            return OnCreate();
        case WM_SIZE:
            LayoutChildren();
            return 0;
        case WM_CONNECTION_EVENT:
            return OnConnectionEvent(TakeConnectionStatus(wp));
        case WM_RECORDS_UPDATED:
            OnRecordsUpdated(wp);
            return 0;
        case WM_LOG_TEXT:
            if (auto text = TakeLogText(lp)) AppendLog(*text);
            return 1;
        case WM_DIAL_TEXT:
            // The dialer hands its text in wParam, owned by the message too.
            if (auto text = TakeLogText(static_cast<LPARAM>(wp))) AppendLog(*text);
            return 1;
        case WM_LIMIT_ALARM:
            if (limits_) RunLimitDecision(limits_->MonthPopup());
            return 0;
        case WM_SHOW_MESSAGE:
            // wParam: the box's icon and buttons.
            if (auto text = TakeLogText(lp)) {
                MessageBoxW(Hwnd(), text->c_str(), L"Hourlink", static_cast<UINT>(wp));
            }
            return 0;
        case WM_RAS_DIAL_STATE:
            if (dialer_) dialer_->OnDialState(static_cast<int>(wp), static_cast<std::uint32_t>(lp));
            UpdateButtons();
            return 0;
        case WM_POWERBROADCAST:
            return TRUE;  // every power event, suspend requests included, is granted
        case WM_TIMER:
            if (wp == kSessionTimer) {
                OnSessionTick();
            } else if (automation_) {
                automation_->OnTimer(wp);
            }
            return 0;
        case WM_SYSCOMMAND:
            // Minimising and the close box hide the window; it lives on in the tray.
            if ((wp & 0xFFF0) == SC_MINIMIZE || (wp & 0xFFF0) == SC_CLOSE) {
                Show(SW_HIDE);
                return 0;
            }
            break;
        case WM_COMMAND:
            if (lp == 0 || HIWORD(wp) == 0) {
                OnCommand(LOWORD(wp));
                return 0;
            }
            break;
        case WM_INITMENUPOPUP:
            // The window's own system menu keeps what the system decides.
            if (HIWORD(lp) != 0) break;
            OnInitMenuPopup(reinterpret_cast<HMENU>(wp));
            return 0;
        case WM_MENUSELECT:
            statusBar_.OnMenuSelect(LOWORD(wp), HIWORD(wp), reinterpret_cast<HMENU>(lp));
            return 0;
        case WM_EXITMENULOOP:
            statusBar_.EndPrompt();
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_DPICHANGED: {
            const auto* r = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(Hwnd(), nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
    }
    return Window::WndProc(msg, wp, lp);
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
    haveStatus_ = true;
    historyView_.RollDay();
    return status_.online != 0 ? OnConnect() : (OnDisconnect(), 0);
}

LRESULT CMainFrame::OnConnect() {
    online_ = true;
    rasHandle_ = status_.rasConnection;
    g_rasConnection = rasHandle_;
    dialer_->OnSessionStart(rasHandle_);
    traffic_->Reset();
    trayIcon_.SetIcon(static_cast<UINT>(IDI_ONLINE));
    if (ReadSetting(*settings_, settings::kDropWindow) != 0) dropWindow_.SetVisible(true);

    const std::int64_t now = clock_.Now();
    monthBar_.SetSessionStart(SessionStartText(status_.start, now));
    connectionName_ = FromGbk(status_.Name());
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
    if (!online_) connectionName_ = FromGbk(status_.Name());
    if (IsTimedConnectionType(status_.type)) {
        KillTimer(Hwnd(), kSessionTimer);
        sessionTimerRunning_ = false;
    }
    rasHandle_ = 0;
    g_rasConnection = 0;
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
    // The schedule is armed again and the shutdown check waits on timer 3.
    automation_->OnDisconnect();
    CommonTail();
    traffic_->Reset();
}

void CMainFrame::CommonTail() {
    enumView_.MarkConnection(online_ ? std::wstring_view(connectionName_) : L"END");
    // The history list adds the live row or completes it with the traffic of
    // the session.
    const TrafficFigures& traffic = traffic_->Figures();
    historyView_.OnConnectionEvent(status_, traffic.received, traffic.sent);
    SavePlacement();
    UpdateButtons();
}

void CMainFrame::OnSessionTick() {
    ++tickCounter_;
    const std::uint32_t session = SessionElapsed();
    const AccountingFigures figures = Figures();
    const TickTexts texts = MakeTickTexts(figures, session, historyView_.ShowingCurrentMonth());
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
    ++tickCounter_;
    // The schedule's hang-up, then the shutdown check.
    automation_->OnSessionTick();
    usageChart_.Update();
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
                           CountingSinceText(historyView_.Month(), historyView_.StartDay()));
}

void CMainFrame::OnMonthPicked(int year, int month) {
    // The list reports back with WM_RECORDS_UPDATED 0 once it has listed it.
    historyView_.ShowMonth(year, month);
}

void CMainFrame::OnRecordsUpdated(WPARAM which) {
    if (which == 1) {
        // The history list relists the month from the table the watcher has
        // loaded, and reports back with 0.
        historyView_.LoadRecords();
        return;
    }
    ShowOfflineTexts();
    UpdateButtons();
    // A month picked, a session ended or the options changed: the list has
    // listed again, and the chart follows it.
    usageChart_.Update();
    automation_->OnRecordsUpdated();
    // Once per run, after the first listing: the dial at start-up.
    if (firstRecordsUpdate_ && !online_ &&
        ReadSetting(*settings_, settings::kStartUpConnect) != 0) {
        dialer_->DialAtStartUp();
    }
    firstRecordsUpdate_ = false;
}

bool CMainFrame::IsCommandAvailable(UINT id) const {
    switch (id) {
        case ID_SHOW_MAIN_WINDOW:
        case ID_APP_EXIT:
        case ID_APP_ABOUT:
        case ID_HELP_TOPICS:
        case ID_HTML_REPORT:
        case ID_PING:
        case ID_PROTECT:
        case ID_OPTIONS:
        case ID_SCHEDULE:
        case ID_SHUTDOWN:
        case ID_RUN_PROGRAMS:
        case ID_SHOW_DROP_WINDOW:
        case ID_DROP_TRANSLUCENT:
        case ID_USAGE_CHART:
        case ID_EXPORT_CSV:
            return true;
        case ID_EDIT_ENTRY:
            return enumView_.CanEditSelectedEntry();
        case ID_SUM_SELECTION:
            return historyView_.CanSumSelection();
        case ID_CONNECT:
            return dialer_ && dialer_->CanConnect(sessionTimerRunning_, EntryChoiceNow());
        case ID_HANG_UP:
            return dialer_ && dialer_->CanHangUp(sessionTimerRunning_);
        default:
            // The drop window's colour themes.
            return id >= ID_THEME_FIRST && id <= ID_THEME_LAST;
    }
}

void CMainFrame::OnCommand(UINT id) {
    switch (id) {
        case ID_SHOW_MAIN_WINDOW:
            ToggleMainWindow();
            break;
        case ID_APP_EXIT:
            PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
            break;
        case ID_APP_ABOUT:
            ShowAboutBox(Hwnd());
            break;
        case ID_HELP_TOPICS:
            ShowHelpTopics(Hwnd());
            break;
        case ID_SUM_SELECTION:
            if (historyView_.CanSumSelection()) historyView_.SumSelection();
            break;
        case ID_CONNECT:
            if (IsCommandAvailable(id)) dialer_->ConnectCommand(EntryChoiceNow());
            UpdateButtons();
            break;
        case ID_HANG_UP:
            if (IsCommandAvailable(id)) HangUpConnection();
            break;
        case ID_HTML_REPORT:
            HtmlReport().Write(Hwnd(), HtmlReport::ShownRows(historyView_),
                               CountingSinceText(historyView_.Month(), historyView_.StartDay()),
                               [this](std::wstring_view text) { AppendLog(text); });
            break;
        case ID_EXPORT_CSV:
            CsvExport::Command(Hwnd(), historyView_);
            break;
        case ID_USAGE_CHART:
            usageChart_.Open(Hwnd(),
                             {historyView_.Model(), settings_, &clock_, [this] {
                                  return std::int64_t{sessionTimerRunning_ ? SessionElapsed() : 0};
                              }});
            break;
        case ID_PING:
            PingDialog(platform_, clock_).DoModal(Hwnd());
            break;
        case ID_PROTECT:
            ProgramLock::OnProtectCommand(Hwnd());
            break;
        case ID_OPTIONS:
            if (ProgramLock::AskPassword(Hwnd())) OnOptions();
            break;
        case ID_SCHEDULE:
            automation_->ScheduleCommand();
            break;
        case ID_SHUTDOWN:
            automation_->ShutdownCommand();
            break;
        case ID_RUN_PROGRAMS:
            automation_->RunProgramsCommand();
            break;
        case ID_SHOW_DROP_WINDOW:
            dropWindow_.ToggleVisible();
            break;
        case ID_DROP_TRANSLUCENT:
            dropWindow_.SetTranslucent(!dropWindow_.IsTranslucent());
            break;
        case ID_EDIT_ENTRY:
            enumView_.EditSelectedEntry();
            break;
        default:
            if (id >= ID_THEME_FIRST && id <= ID_THEME_LAST) dropWindow_.SetTheme(id);
            break;
    }
}

void CMainFrame::OnInitMenuPopup(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;  // separators and submenus
        EnableMenuItem(menu, id, MF_BYCOMMAND | (IsCommandAvailable(id) ? MF_ENABLED : MF_GRAYED));
        if (id == ID_SHOW_MAIN_WINDOW) {
            CheckMenuItem(menu, id,
                          MF_BYCOMMAND | (IsWindowVisible(Hwnd()) ? MF_CHECKED : MF_UNCHECKED));
        }
    }
    // The drop window's items: shown, translucent, the theme in use.
    dropWindow_.UpdateMenu(menu);
}

void CMainFrame::UpdateButtons() {
    for (UINT id : {ID_CONNECT, ID_EDIT_ENTRY, ID_OPTIONS, ID_HANG_UP, ID_SUM_SELECTION,
                    ID_HTML_REPORT, ID_APP_ABOUT}) {
        monthBar_.EnableButton(static_cast<int>(id), IsCommandAvailable(id));
    }
}

void CMainFrame::ToggleMainWindow() {
    if (IsWindowVisible(Hwnd())) {
        Show(SW_HIDE);
        return;
    }
    Show(SW_SHOW);
    SetForegroundWindow(Hwnd());
    SetFocus(Hwnd());
}

void CMainFrame::OnClose() {
    // A locked program ends only with its password; a wrong one is refused
    // without a word.
    if (!ProgramLock::AskPassword(Hwnd())) return;
    if (online_) {
        wchar_t question[256];
        swprintf(question, 256, L"现在%ls在线，确实要退出吗?", connectionName_.c_str());
        if (MessageBoxW(Hwnd(), question, L"Hourlink", MB_YESNO | MB_ICONSTOP) != IDYES) return;
    }
    DestroyWindow(Hwnd());
}

void CMainFrame::SavePlacement() {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(Hwnd(), &wp)) return;
    WriteWindowPlacement(
        *settings_, settings::kFrame,
        {static_cast<int>(wp.showCmd), wp.rcNormalPosition.top, wp.rcNormalPosition.left,
         wp.rcNormalPosition.bottom, wp.rcNormalPosition.right});
}

void CMainFrame::OnOptions() {
    OptionsDialog::Callbacks callbacks;
    callbacks.recheckConnection = [this] {
        if (watcherThread_) watcherThread_->RequestCheck();
    };
    callbacks.defaultsRestored = [this] { translucent_ = 0; };
    if (OptionsDialog(*settings_, clock_, std::move(callbacks)).DoModal(Hwnd()) != IDOK) return;
    translucent_ = ReadSetting(*settings_, settings::kTranWindow);
    dropWindow_.SetTranslucent(translucent_ != 0);
    dropWindow_.SetVisible(ReadSetting(*settings_, settings::kDropWindow) != 0 && online_);
    // The month shown is listed again under the settings as they are now.
    const YearMonth shown = historyView_.Month();
    historyView_.ShowMonth(shown.year, shown.month);
    if (limits_) dropWindow_.SetAlarm(limits_->OnOptionsConfirmed());
    StartupEntry entry(*settings_, ProgramDirectory().value_or(std::wstring()));
    if (ReadSetting(*settings_, settings::kStartRun) == 1) {
        entry.Set(Hwnd());
    } else {
        entry.Delete([this](std::wstring text) { AppendLog(text); });
    }
}

EntryChoice CMainFrame::EntryChoiceNow() const {
    return {enumView_.SelectionChanges(), enumView_.SelectedEntry()};
}

void CMainFrame::OnDestroy() {
    Win32DialPlatform::SetNotifyWindow(nullptr);
    SavePlacement();
    dropWindow_.SavePlacement();
    trayIcon_.Remove();
    RemovePropW(Hwnd(), ProgramBaseName().c_str());
    // Stop the watcher while the window still takes the messages it sends.
    watcherThread_.reset();
    PostQuitMessage(0);
}

}  // namespace hourlink
