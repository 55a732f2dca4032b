// CMainFrame, its commands: one table of every command of the main menu, the
// tray menu, the children's menus and the month bar's buttons, each with the
// rule that enables it and the handler that runs it. Menus are enabled from the
// table when they open, the buttons whenever the state may have changed, and a
// command arrives here whichever way the user gave it.
#include "shell/frame/main_frame.h"

#include "core/settings/settings.h"
#include "core/ui/device_tree.h"
#include "res/resource.h"
#include "shell/dialogs/about_dialog.h"
#include "shell/dialogs/options_dialog.h"
#include "shell/dialogs/ping_dialog.h"
#include "shell/dialogs/program_lock.h"
#include "shell/frame/csv_export.h"
#include "shell/frame/html_report.h"
#include "shell/platform/program_file.h"
#include "shell/platform/startup_entry.h"

namespace hourlink {

struct CMainFrame::Command {
    UINT first;
    UINT last;                              // a range of ids shares a rule and handler
    bool (CMainFrame::*available)() const;  // null: always available
    void (CMainFrame::*run)(UINT id);
};

std::span<const CMainFrame::Command> CMainFrame::Commands() {
    using F = CMainFrame;
    static constexpr Command kCommands[] = {
        {ID_SHOW_MAIN_WINDOW, ID_SHOW_MAIN_WINDOW, nullptr, &F::ToggleMainWindow},
        {ID_APP_EXIT, ID_APP_EXIT, nullptr, &F::Exit},
        {ID_APP_ABOUT, ID_APP_ABOUT, nullptr, &F::About},
        {ID_HELP_TOPICS, ID_HELP_TOPICS, nullptr, &F::HelpTopics},
        {ID_CONNECT, ID_CONNECT, &F::CanConnect, &F::Connect},
        {ID_HANG_UP, ID_HANG_UP, &F::CanHangUp, &F::HangUp},
        {ID_EDIT_ENTRY, ID_EDIT_ENTRY, &F::CanEditEntry, &F::EditEntry},
        {ID_SUM_SELECTION, ID_SUM_SELECTION, &F::CanSumSelection, &F::SumSelection},
        {ID_HTML_REPORT, ID_HTML_REPORT, nullptr, &F::WriteHtmlReport},
        {ID_EXPORT_CSV, ID_EXPORT_CSV, nullptr, &F::ExportCsv},
        {ID_USAGE_CHART, ID_USAGE_CHART, nullptr, &F::OpenUsageChart},
        {ID_PING, ID_PING, nullptr, &F::Ping},
        {ID_PROTECT, ID_PROTECT, nullptr, &F::Protect},
        {ID_OPTIONS, ID_OPTIONS, nullptr, &F::Options},
        {ID_SCHEDULE, ID_SCHEDULE, nullptr, &F::Schedule},
        {ID_SHUTDOWN, ID_SHUTDOWN, nullptr, &F::Shutdown},
        {ID_RUN_PROGRAMS, ID_RUN_PROGRAMS, nullptr, &F::RunPrograms},
        {ID_SHOW_DROP_WINDOW, ID_SHOW_DROP_WINDOW, nullptr, &F::ToggleDropWindow},
        {ID_DROP_TRANSLUCENT, ID_DROP_TRANSLUCENT, nullptr, &F::ToggleTranslucency},
        {ID_THEME_FIRST, ID_THEME_LAST, nullptr, &F::SetTheme},
    };
    return kCommands;
}

const CMainFrame::Command* CMainFrame::FindCommand(UINT id) {
    for (const Command& command : Commands()) {
        if (id >= command.first && id <= command.last) return &command;
    }
    return nullptr;
}

bool CMainFrame::IsCommandAvailable(UINT id) const {
    const Command* command = FindCommand(id);
    return command && (!command->available || (this->*command->available)());
}

void CMainFrame::RunCommand(UINT id) {
    if (IsCommandAvailable(id)) (this->*FindCommand(id)->run)(id);
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
    for (UINT id : monthBar_.ButtonCommands()) monthBar_.EnableButton(id, IsCommandAvailable(id));
}

// ---- The enabling rules ----

EntryChoice CMainFrame::EntryChoiceNow() const {
    return {enumView_.SelectionChanges(), enumView_.SelectedEntry()};
}

bool CMainFrame::CanConnect() const {
    return dialer_ && dialer_->CanConnect(session_->Timed(), EntryChoiceNow());
}

bool CMainFrame::CanHangUp() const {
    return dialer_ && dialer_->CanHangUp(session_->Timed());
}

bool CMainFrame::CanEditEntry() const {
    return enumView_.CanEditSelectedEntry();
}

bool CMainFrame::CanSumSelection() const {
    return hourlinkView_.CanSumSelection();
}

// ---- The handlers ----

void CMainFrame::ToggleMainWindow(UINT) {
    if (IsWindowVisible(Hwnd())) {
        Show(SW_HIDE);
        return;
    }
    Show(SW_SHOW);
    SetForegroundWindow(Hwnd());
    SetFocus(Hwnd());
}

void CMainFrame::Exit(UINT) {
    PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
}

void CMainFrame::About(UINT) {
    ShowAboutBox(Hwnd());
}

void CMainFrame::HelpTopics(UINT) {
    ShowHelpTopics(Hwnd());
}

void CMainFrame::SumSelection(UINT) {
    hourlinkView_.SumSelection();
}

void CMainFrame::Connect(UINT) {
    dialer_->ConnectCommand(EntryChoiceNow());
    UpdateButtons();
}

void CMainFrame::HangUp(UINT) {
    HangUpConnection();
}

void CMainFrame::EditEntry(UINT) {
    enumView_.EditSelectedEntry();
}

void CMainFrame::WriteHtmlReport(UINT) {
    HtmlReport().Write(Hwnd(), HtmlReport::ShownRows(hourlinkView_), session_->CountingSinceText(),
                       [this](std::wstring_view text) { AppendLog(text); });
}

void CMainFrame::ExportCsv(UINT) {
    CsvExport::Command(Hwnd(), hourlinkView_);
}

void CMainFrame::OpenUsageChart(UINT) {
    usageChartWnd_.Open(Hwnd(), {&session_->History(), settings_, &clock_,
                                 [this] { return std::int64_t{session_->Elapsed()}; },
                                 [this] {
                                     return session_->Timed() ? session_->Traffic().SessionBytes()
                                                              : std::int64_t{0};
                                 }});
}

void CMainFrame::Ping(UINT) {
    PingDialog([] { return std::make_unique<Win32NetworkPlatform>(); }, clock_).DoModal(Hwnd());
}

void CMainFrame::Protect(UINT) {
    ProgramLock::OnProtectCommand(Hwnd());
}

void CMainFrame::Options(UINT) {
    if (!ProgramLock::AskPassword(Hwnd())) return;
    OptionsDialog::Callbacks callbacks;
    callbacks.recheckConnection = [this] {
        if (watcherThread_) watcherThread_->RequestCheck();
    };
    // Written at once by the dialog, and shown at once too.
    callbacks.defaultsRestored = [this] { dropWindow_.SetTranslucent(false); };
    if (OptionsDialog(*settings_, clock_, std::move(callbacks)).DoModal(Hwnd()) == IDOK) {
        ApplyOptions();
    }
}

void CMainFrame::ApplyOptions() {
    session_->SettingsChanged();
    dropWindow_.SetTranslucent(ReadSetting(*settings_, settings::kTranWindow) != 0);
    dropWindow_.SetVisible(ReadSetting(*settings_, settings::kDropWindow) != 0 &&
                           session_->Online());
    // The month shown is listed again under the settings as they are now; a
    // new start day moves the current month, and the month shown with it when
    // it was the current one.
    HistoryList& history = session_->History();
    history.SetStartDay(ReadStartDay(*settings_));
    const YearMonth shown = history.Month();
    hourlinkView_.ShowMonth(shown.year, shown.month);
    dropWindow_.SetAlarm(session_->Limits().OnOptionsConfirmed());
    StartupEntry entry(ProgramDirectory().value_or(std::wstring()));
    if (ReadSetting(*settings_, settings::kStartRun) == 1) {
        entry.Set(Hwnd());
    } else {
        entry.Delete([this](std::wstring text) { AppendLog(text); });
    }
}

void CMainFrame::Schedule(UINT) {
    automation_->ScheduleCommand();
}

void CMainFrame::Shutdown(UINT) {
    automation_->ShutdownCommand();
}

void CMainFrame::RunPrograms(UINT) {
    automation_->RunProgramsCommand();
}

void CMainFrame::ToggleDropWindow(UINT) {
    dropWindow_.ToggleVisible();
}

void CMainFrame::ToggleTranslucency(UINT) {
    dropWindow_.SetTranslucent(!dropWindow_.IsTranslucent());
}

void CMainFrame::SetTheme(UINT id) {
    dropWindow_.SetTheme(id);
}

}  // namespace hourlink
