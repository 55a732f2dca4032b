// CMainFrame, its creation, layout, message table, close and destroy: it builds
// the pieces and wires their callbacks, lays out the views and routes each
// message to the file of its concern.
#include "shell/frame/main_frame.h"

#include <commctrl.h>

#include <algorithm>

#include "core/base/file_system.h"
#include "core/settings/settings.h"
#include "res/main_window_res.h"
#include "res/resource.h"
#include "shell/dialogs/program_lock.h"
#include "shell/frame/frame_messages.h"
#include "shell/frame/frame_services.h"
#include "shell/platform/program_file.h"
#include "shell/platform/registry_settings_store.h"
#include "shell/win/dpi.h"
#include "shell/win/text.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace hourlink {

namespace {

constexpr wchar_t kClassName[] = L"Hourlink.MainFrame";
// The children's ids.
constexpr int kStatusBarId = 0xE801;
constexpr int kOuterSplitterId = 0xE810;
constexpr int kInnerSplitterId = 0xE811;
constexpr int kTreeId = 0xE900;
constexpr int kListId = 0xE901;
constexpr int kTextPaneId = 0xE902;
// At 96 DPI.
constexpr int kTreeWidth = 200;

HICON LoadProgramIcon(int sizeMetricX, int sizeMetricY) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                         IMAGE_ICON, GetSystemMetrics(sizeMetricX),
                                         GetSystemMetrics(sizeMetricY), LR_SHARED));
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
}

std::wstring CMainFrame::Title() {
    std::wstring title(win::Field(win::LoadResourceString(IDR_MAINFRAME), 0));
    return title.empty() ? L"Hourlink" : title;
}

bool CMainFrame::Create(SettingsStore& settings) {
    settings_ = &settings;
    // Before anything reads a setting: missing values get their defaults.
    NormalizeSettingsAtStartup(settings);
    win::WindowClass wc;
    wc.name = kClassName;
    wc.icon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    wc.smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
    wc.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.menuName = MAKEINTRESOURCEW(IDR_MAINFRAME);
    const std::wstring title = Title();
    win::CreateArgs args;
    args.title = title.c_str();
    // The default size at the DPI of the screen it opens on, within the work area.
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const FrameSize size =
        DefaultFrameSize(win::SystemDpi(), work.right - work.left, work.bottom - work.top);
    args.width = size.width;
    args.height = size.height;
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
    recordPath_ = ChooseRecordPath();
    events_ = std::make_unique<FrameWatcherEvents>(Hwnd(), settings_);
    watcher_ = std::make_unique<ConnectionWatcher>(network_, records_, table_, *settings_, clock_,
                                                   *events_);
    maintenance_ = std::make_unique<RecordMaintenance>(files_, clock_, *settings_, *notifier_);
    watcher_->SetStartupRecovery(maintenance_->StartupRecovery());
    // A new session's record starts with its own backup value (watcher thread).
    watcher_->SetRecordStarting(
        [this](std::uint32_t seconds) { backup_.Write(seconds - seconds % 60); });
    records_.SetPurgeCheck(maintenance_->PurgeCheck());
    // While the program is locked a limit hangs up without the cancellable countdown.
    session_ = std::make_unique<SessionCore>(table_, *settings_, clock_, network_,
                                             &ProgramLock::IsProtected);
    if (!platform_.RasLoaded()) notifier_->ShowMessage(L"LoadLibrary(rasapi32.dll)");
    dialHost_ = std::make_unique<WindowDialHost>(
        [this] { return Hwnd(); }, network_, [this](std::wstring_view text) { AppendLog(text); });
    dialer_ = std::make_unique<Dialer>(dial_, network_, *settings_, *dialHost_, dialTiming_);
    CreateAutomation();
    Win32DialPlatform::SetNotifyWindow(Hwnd(), WM_RAS_DIAL_STATE);

    dpi_ = win::DpiOf(Hwnd());
    font_.Reset(win::CreateUiFont(dpi_));
    CreateStatusBar();
    CDropWindow::Reports drop;
    drop.command = [this](UINT id) { RunCommand(id); };
    drop.menuOpening = [this](HMENU menu) { OnInitMenuPopup(menu); };
    drop.closeRequested = [this] { PostMessageW(Hwnd(), WM_CLOSE, 0, 0); };
    dropWindow_.Prepare(Hwnd(), *settings_, std::move(drop));
    // The month bar in the status bar's font.
    if (!monthBar_.Create(Hwnd(), statusBar_.Font(), dpi_)) return -1;
    monthBar_.OnMonthChanged([this](int year, int month) { hourlinkView_.ShowMonth(year, month); });
    monthBar_.OnHotButtonChanged(
        [this](int command) { statusBar_.PromptCommand(static_cast<UINT>(command)); });
    monthBar_.OnButton([this](UINT id) { RunCommand(id); });
    trayIcon_.OnCommand([this](UINT id) { RunCommand(id); });
    CreateViews();
    // The picker starts on the month the history list shows: this accounting month.
    const YearMonth month = session_->History().Month();
    monthBar_.SetMonth(month.year, month.month);
    UpdateButtons();
    LayoutChildren();
    // Once the tree is laid out, its root's text can be measured.
    outerSplitter_.SetColumnWidth(0, TreeWidth());
    ShowOfflineTexts();
    SetTimer(Hwnd(), kDayTimer, session_->MillisecondsToNextDay(), nullptr);
    // Putting up the icon is a round trip to the shell's process: it waits
    // until the main window is on the screen.
    PostMessageW(Hwnd(), WM_PUT_UP_TRAY_ICON, 0, 0);
    return 0;
}

void CMainFrame::PutUpTrayIcon() {
    // The state and tip of the moment: what came before was kept by the frame.
    const auto icon = static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(session_->Online() ? IDI_ONLINE : IDI_OFFLINE),
        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    trayIcon_.Create(Hwnd(), WM_TRAY_NOTIFY, trayIcon_.TooltipText(), icon, IDR_TRAY_MENU);
    ShowTrayHintOnce();
}

void CMainFrame::ShowTrayHintOnce() {
    // Windows 11 puts a new icon in the overflow: a program started hidden
    // would seem to have vanished. The first time, the icon says where it is.
    if (ReadSetting(*settings_, settings::kTrayHintShown) != 0) return;
    if (trayIcon_.ShowBalloon(L"Hourlink", kTrayHintText)) {
        WriteSetting(*settings_, settings::kTrayHintShown, 1);
    }
}

void CMainFrame::CreateStatusBar() {
    statusBar_.Create(Hwnd(), kStatusBarId);
    statusBar_.SetDpi(dpi_, font_.Get());
    // Panes sized by the blank strings 130..134: counting since, totals,
    // received, sent, speed.
    std::vector<std::wstring> texts;
    for (int id :
         {IDS_PANE_SINCE, IDS_PANE_TOTALS, IDS_PANE_RECEIVED, IDS_PANE_SENT, IDS_PANE_SPEED}) {
        texts.push_back(win::LoadResourceString(id));
    }
    statusBar_.SetPanes(100, std::move(texts));
}

void CMainFrame::CreateViews() {
    outerSplitter_.Create(Hwnd(), 1, 2, kOuterSplitterId);
    innerSplitter_.Create(outerSplitter_.Hwnd(), 2, 1, kInnerSplitterId,
                          WS_CHILD | WS_VISIBLE | WS_BORDER);
    CEnumView::Args tree;
    tree.parent = outerSplitter_.Hwnd();
    tree.id = kTreeId;
    tree.dpi = dpi_;
    tree.font = font_.Get();
    tree.devices = ProbeDevices(network_);
    tree.selectionChanged = [this](std::wstring_view text) {
        hourlinkView_.ApplyTreeSelection(text);
        UpdateButtons();
    };
    tree.command = [this](UINT id) { RunCommand(id); };
    tree.menuOpening = [this](HMENU menu) { OnInitMenuPopup(menu); };
    enumView_.Create(std::move(tree));
    CHourlinkView::Args view;
    view.parent = innerSplitter_.Hwnd();
    view.id = kListId;
    view.dpi = dpi_;
    view.font = font_.Get();
    view.model = &session_->History();
    view.table = &table_;
    view.settings = settings_;
    view.files = &files_;
    view.notifier = notifier_.get();
    view.clock = &clock_;
    view.recordPath = RecordPath();
    view.appendText = [this](std::wstring_view text) { totalTimeView_.Append(text); };
    view.selectionChanged = [this] { UpdateButtons(); };
    view.listed = [this] { OnListed(); };
    view.command = [this](UINT id) { RunCommand(id); };
    hourlinkView_.Create(std::move(view));
    totalTimeView_.Create(innerSplitter_.Hwnd(), kTextPaneId, statusBar_.Font());

    outerSplitter_.SetPane(0, 0, enumView_.Hwnd());
    outerSplitter_.SetPane(0, 1, innerSplitter_.Hwnd());
    innerSplitter_.SetPane(0, 0, hourlinkView_.Hwnd());
    innerSplitter_.SetPane(1, 0, totalTimeView_.Hwnd());
    outerSplitter_.SetColumnWidth(0, win::Scale(kTreeWidth, dpi_));
}

int CMainFrame::TreeWidth() const {
    RECT client{};
    GetClientRect(Hwnd(), &client);
    const int least = win::Scale(kTreeWidth, dpi_);
    const int most = std::max<int>(least, client.right / 2);
    return std::clamp(enumView_.WidthForRoot(), least, most);
}

void CMainFrame::OnDpiChanged(int dpi, const RECT& suggested) {
    if (dpi > 0 && dpi != dpi_) {
        dpi_ = dpi;
        // The controls take the new font before the old one is deleted.
        widgets::OwnedFont font(win::CreateUiFont(dpi_));
        statusBar_.SetDpi(dpi_, font.Get());
        monthBar_.SetDpi(dpi_, font.Get());
        enumView_.SetDpi(dpi_, font.Get());
        hourlinkView_.SetDpi(dpi_, font.Get());
        totalTimeView_.SetFont(font.Get());
        font_ = std::move(font);
    }
    SetWindowPos(Hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    outerSplitter_.SetColumnWidth(0, TreeWidth());
    LayoutChildren();
}

void CMainFrame::LayoutChildren() {
    if (!statusBar_.Hwnd()) return;
    RECT client{};
    GetClientRect(Hwnd(), &client);
    const LaidOut now{client.right, client.bottom, dpi_};
    if (now == laidOut_) return;
    laidOut_ = now;
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
    // The settings the tick reads are kept in memory and read again when
    // their registry key changes (another program, or reg.exe, may change it).
    if (auto* registry = dynamic_cast<RegistrySettingsStore*>(settings_)) {
        settingsWatch_.Start(registry->Root(), registry->BasePath());
    }
    if (watcherThread_ || !watcher_) return;
    // The running session's length goes to "adsl.bak" beside the record file
    // every full minute, so a crash loses at most the last minute. Opened
    // before the watcher starts, which resets it for each new session.
    backup_.Open(BackupFile::PathBeside(RecordPath()));
    watcherThread_ = std::make_unique<WatcherThread>(*watcher_, RecordPath());
    watcherThread_->Start(THREAD_PRIORITY_NORMAL);
}

std::wstring CMainFrame::ChooseRecordPath() {
    const std::wstring programDirectory = ProgramDirectory().value_or(std::wstring());
    const RecordFolder folder = ChooseRecordFolder(
        *settings_, programDirectory, [&] { return CanWriteIn(programDirectory); },
        LocalAppDataDirectory());
    const std::wstring path = JoinPath(folder.directory, L"adsl.bs");
    if (!folder.moved) return path;
    CreateDirectoryW(folder.directory.c_str(), nullptr);
    // Records kept beside the program before it moved come along, once.
    CopyFileW(JoinPath(programDirectory, L"adsl.bs").c_str(), path.c_str(), TRUE);
    if (ReadSetting(*settings_, settings::kLocalRecordsTold) == 0) {
        // Said once the window is up: the start goes on meanwhile.
        WriteSetting(*settings_, settings::kLocalRecordsTold, 1);
        PostOwnedText(Hwnd(), WM_SHOW_MESSAGE,
                      L"Hourlink所在的文件夹不能写入，上网记录保存在：\r\n" + folder.directory,
                      false, MB_OK | MB_ICONINFORMATION);
    }
    return path;
}

void CMainFrame::AppendLog(std::wstring_view text) {
    totalTimeView_.Append(text);
}

LRESULT CMainFrame::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    // The shell started again (Explorer restarted, or came late at logon).
    if (msg == widgets::CTrayIcon::TaskbarCreatedMessage()) {
        if (trayIcon_.OnTaskbarCreated()) ShowTrayHintOnce();
        return 0;
    }
    // The messages of the other threads and the session's timer.
    if (LRESULT result = 0; OnSessionMessage(msg, wp, lp, result)) return result;
    switch (msg) {
        case WM_CREATE:
            return OnCreate();
        case WM_SIZE:
            LayoutChildren();
            // Restored or maximised from the task bar: the texts catch up.
            if (wp != SIZE_MINIMIZED) ShowHeldTexts();
            return 0;
        case WM_SHOWWINDOW:
            if (wp) {
                // Sent before the window shows: the tree's pictures are made
                // the first time, and its column widened for them.
                if (enumView_.ShowPictures()) outerSplitter_.SetColumnWidth(0, TreeWidth());
                ShowHeldTexts();
            }
            break;
        case WM_TRAY_NOTIFY:
            trayIcon_.OnTrayNotification(wp, lp);
            return 0;
        case WM_PUT_UP_TRAY_ICON:
            PutUpTrayIcon();
            return 0;
        // Menus and accelerators; the children report their commands by callback.
        case WM_COMMAND:
            if (lp != 0) break;
            RunCommand(LOWORD(wp));
            return 0;
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
        case WM_SYSCOMMAND:
            // Minimising and the close box hide the window; it lives on in the tray.
            if ((wp & 0xFFF0) == SC_MINIMIZE || (wp & 0xFFF0) == SC_CLOSE) {
                Show(SW_HIDE);
                return 0;
            }
            break;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
    }
    return Window::WndProc(msg, wp, lp);
}

void CMainFrame::OnClose() {
    // A locked program ends only with its password; a wrong one is refused
    // without a word.
    if (!ProgramLock::AskPassword(Hwnd())) return;
    if (session_->Online()) {
        wchar_t question[256];
        swprintf(question, 256, L"现在%ls在线，确实要退出吗?", session_->Name().c_str());
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

void CMainFrame::OnDestroy() {
    Win32DialPlatform::SetNotifyWindow(nullptr, 0);
    SavePlacement();
    dropWindow_.SavePlacement();
    trayIcon_.Remove();
    settingsWatch_.Stop();
    RemovePropW(Hwnd(), ProgramBaseName().c_str());
    // Stop the watcher while the window still takes the messages it sends.
    watcherThread_.reset();
    PostQuitMessage(0);
}

}  // namespace hourlink
