// CMainFrame: the program's single top-level window and the owner of the
// running state. It is a dispatcher: it owns the pieces, wires their callbacks
// and applies what they decide. Its code is in three files, by concern:
//
//   main_frame.cpp           creation, layout, the message table, close and destroy
//   main_frame_session.cpp   the session: connection events, the tick, the limit
//                            decisions, the offline texts
//   main_frame_commands.cpp  the commands: one table of id, enabling rule and
//                            handler, for the menus, the tray menu, the children's
//                            menus and the month bar's buttons
//
// Layout: the month bar across the top, a six-pane status bar at the bottom, and
// between them a splitter with the device tree on the left and, on the right, the
// history list over the text pane.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/accounting/limits.h"
#include "core/base/clock.h"
#include "core/net/connection_watcher.h"
#include "core/net/dialer.h"
#include "core/net/network_info.h"
#include "core/records/backup_file.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_maintenance.h"
#include "core/records/record_table.h"
#include "core/session/session_core.h"
#include "core/settings/settings_store.h"
#include "core/ui/changed_texts.h"
#include "shell/frame/frame_automation.h"
#include "shell/frame/frame_watcher_events.h"
#include "shell/frame/watcher_thread.h"
#include "shell/platform/registry_change_watch.h"
#include "shell/platform/win32_clock.h"
#include "shell/platform/win32_dial_platform.h"
#include "shell/platform/win32_file_system.h"
#include "shell/platform/win32_network_platform.h"
#include "shell/views/drop_window.h"
#include "shell/views/enum_view.h"
#include "shell/views/hourlink_view.h"
#include "shell/views/month_bar.h"
#include "shell/views/total_time_view.h"
#include "shell/views/usage_chart_wnd.h"
#include "shell/widgets/gdi_handles.h"
#include "shell/widgets/tray_icon.h"
#include "shell/widgets/view_ex_split_wnd.h"
#include "shell/win/status_bar.h"
#include "shell/win/window.h"

namespace hourlink {

class CMainFrame : public win::Window {
  public:
    static constexpr const wchar_t* kTrayHintText =
        L"Hourlink在通知区域运行。看不到它的图标时，请单击任务栏上的“^”，"
        L"可以把图标拖到任务栏上。";
    // The title of the balloons that warn of a monthly limit's share used.
    static constexpr const wchar_t* kUsageWarningTitle = L"用量提醒";
    // Status bar panes.
    enum Pane { kMessagePane, kSincePane, kTotalsPane, kReceivedPane, kSentPane, kSpeedPane };

    // `clock` gives the frame, its history list and the watcher the time, and
    // `dial` (when given) dials and hangs up instead of RAS; tests put their
    // own here. Both must outlive the frame.
    explicit CMainFrame(const Clock& clock = Win32Clock::Instance(), DialPlatform* dial = nullptr);
    ~CMainFrame() override;

    // ---- main_frame.cpp: creation, layout, messages, close and destroy ----

    // Creates the window, hidden, reading and writing settings through
    // `settings`, which must outlive the window. The settings are normalised
    // first, before anything reads them. False when it could not be created.
    bool Create(SettingsStore& settings);
    // After creation: starts the watcher thread on the record file in the data
    // directory, and the running session's backup beside it.
    void OnInitialUpdate();
    // The main window's title: the first field of string resource 128 ("Hourlink").
    static std::wstring Title();
    // Appends a text to the log pane.
    void AppendLog(std::wstring_view text);

    // State the tests look at.
    bool IsOnline() const { return session_->Online(); }
    const std::wstring& ConnectionName() const { return session_->Name(); }
    std::wstring PaneText(int pane) const { return statusBar_.PaneText(pane); }
    std::wstring LogText() const { return totalTimeView_.Text(); }
    std::uint32_t SessionElapsed() const { return session_->Elapsed(); }
    bool SessionTimerRunning() const { return session_->Timed(); }
    // The session core owns the months and the figures; the frame asks it.
    YearMonth CurrentMonth() const { return session_->History().CurrentMonth(); }
    YearMonth DisplayedMonth() const { return session_->History().Month(); }
    // What the list shows, and the whole current month the limits count.
    AccountingFigures Figures() const { return session_->ShownFigures(); }
    AccountingFigures CurrentFigures() const { return session_->CurrentFigures(); }
    LimitMonitor& Limits() { return session_->Limits(); }
    ConnectionWatcher& Watcher() { return *watcher_; }
    // The record table the watcher loads and the history list reads.
    RecordTable& Table() { return table_; }
    CMonthBar& MonthBar() { return monthBar_; }
    const win::StatusBar& StatusBar() const { return statusBar_; }
    // The DPI the window's sizes, fonts and pictures are made for.
    int Dpi() const { return dpi_; }
    const widgets::CTrayIcon& TrayIcon() const { return trayIcon_; }
    CTotalTimeView& TotalTimeView() { return totalTimeView_; }
    CHourlinkView& HourlinkView() { return hourlinkView_; }
    CDropWindow& DropWindow() { return dropWindow_; }
    CEnumView& EnumView() { return enumView_; }
    CUsageChartWnd& UsageChartWnd() { return usageChartWnd_; }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    int OnCreate();
    void CreateStatusBar();
    void CreateViews();
    void LayoutChildren();
    // The tree's column: 200 pixels at 96 DPI, or what its root's text needs,
    // but no more than half the window.
    int TreeWidth() const;
    // WM_DPICHANGED: fonts, pictures and sizes for `dpi`, then the window
    // takes the rectangle Windows suggests.
    void OnDpiChanged(int dpi, const RECT& suggested);
    void PutUpTrayIcon();
    // The first start's balloon: where the tray icon is.
    void ShowTrayHintOnce();
    void SavePlacement();
    void OnClose();
    void OnDestroy();
    // "adsl.bs" in the data directory.
    const std::wstring& RecordPath() const { return recordPath_; }
    // Where the records are kept, decided once at the start (see
    // ChooseRecordFolder); tells the user when that is not the program's folder.
    std::wstring ChooseRecordPath();

    // ---- main_frame_session.cpp: the session ----

    // The other threads' messages, the frame's timers, the end of the Windows
    // session and power events; false for others.
    bool OnSessionMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    void CreateAutomation();
    LRESULT OnConnectionEvent(std::unique_ptr<ConnectionStatus> status);
    LRESULT ApplyConnect(const SessionCore::Change& change);
    void ApplyDisconnect(const SessionCore::Change& change);
    void OnSessionTick();
    // The main window is seen: shown and not minimised.
    bool MainWindowShowing() const;
    // The tick's texts of the month bar's labels and the status panes (the
    // slots: a pane's number, or one of the labels'): set at once while the
    // window is seen, else held until it is shown (ShowHeldTexts).
    static constexpr std::size_t kMonthLabelSlot = 10;
    static constexpr std::size_t kSessionLabelSlot = 11;
    void TickText(std::size_t slot, std::wstring text);
    void SetMainText(std::size_t slot, std::wstring_view text);
    // A pane set by an event, at once, whatever a tick held for it.
    void SetPane(int pane, std::wstring_view text);
    void ShowHeldTexts();
    // Carries out limit decisions one after the other while the session they
    // were made for still runs.
    void RunLimitDecisions(const std::vector<LimitDecision>& decisions);
    void ShowOfflineTexts();
    // The history list has listed a month (picked, relisted after a session
    // or the options): the texts, the picker, the commands, the chart and the
    // automation follow it.
    void OnListed();
    // A new day may have begun: the figures and the month follow it.
    void OnDayTimer();
    // Ends the timed session now, with its exact length, before Windows ends
    // or sleeps: neither the time asleep nor the time after the end is billed.
    void EndSessionNow();
    // Hangs up the current connection; the dialer does it for RAS connections.
    void HangUpConnection();

    // ---- main_frame_commands.cpp: the commands ----

    struct Command;
    static std::span<const Command> Commands();
    static const Command* FindCommand(UINT id);
    bool IsCommandAvailable(UINT id) const;
    // Runs `id` when it is available; a command that is not is ignored.
    void RunCommand(UINT id);
    // Enables and checks the items of a menu that opens.
    void OnInitMenuPopup(HMENU menu);
    // The month bar's buttons follow the same rules as the menus.
    void UpdateButtons();
    // What the device tree offers the connect command.
    EntryChoice EntryChoiceNow() const;
    bool CanConnect() const;
    bool CanHangUp() const;
    bool CanEditEntry() const;
    bool CanSumSelection() const;
    void ToggleMainWindow(UINT);
    void Exit(UINT);
    void About(UINT);
    void HelpTopics(UINT);
    void SumSelection(UINT);
    void Connect(UINT);
    void HangUp(UINT);
    void WriteHtmlReport(UINT);
    void ExportCsv(UINT);
    void OpenUsageChart(UINT);
    void Ping(UINT);
    void Protect(UINT);
    void Options(UINT);
    // After a confirmed options dialog: what the change affects.
    void ApplyOptions();
    void Schedule(UINT);
    void Shutdown(UINT);
    void RunPrograms(UINT);
    void ToggleDropWindow(UINT);
    void ToggleTranslucency(UINT);
    void EditEntry(UINT);
    void SetTheme(UINT id);

    const Clock& clock_;
    SettingsStore* settings_ = nullptr;
    std::unique_ptr<Notifier> notifier_;
    Win32NetworkPlatform platform_;
    NetworkInfo network_;
    Win32FileSystem files_;
    CFixLenRecDoc records_;
    RecordTable table_;
    // Made with the window, which they talk to.
    std::unique_ptr<FrameWatcherEvents> events_;
    std::unique_ptr<ConnectionWatcher> watcher_;
    std::unique_ptr<WatcherThread> watcherThread_;
    std::unique_ptr<RecordMaintenance> maintenance_;
    BackupFile backup_{files_};
    // The running session, the history's months and figures, the limits and
    // the traffic: everything the frame shows of them it asks here.
    std::unique_ptr<SessionCore> session_;
    Win32DialPlatform win32Dial_;
    DialPlatform& dial_;
    DialTiming dialTiming_;
    std::unique_ptr<DialHost> dialHost_;
    std::unique_ptr<Dialer> dialer_;
    std::unique_ptr<FrameAutomation> automation_;

    // The font of the bar, the tree, the list and the text pane, for dpi_;
    // declared before them, so it goes after them.
    int dpi_ = 96;
    // The client size and DPI the children were last laid out for: the first
    // show's WM_SIZE, at the size the window was made with, lays out nothing.
    struct LaidOut {
        int width = -1;
        int height = -1;
        int dpi = 0;
        bool operator==(const LaidOut&) const = default;
    } laidOut_;
    widgets::OwnedFont font_;
    CMonthBar monthBar_;
    win::StatusBar statusBar_;
    widgets::CViewExSplitWnd outerSplitter_;
    widgets::CViewExSplitWnd innerSplitter_;
    CEnumView enumView_;
    CHourlinkView hourlinkView_;
    CTotalTimeView totalTimeView_;
    widgets::CTrayIcon trayIcon_;
    HeldTexts heldTexts_;
    RegistryChangeWatch settingsWatch_;
    std::wstring recordPath_;
    CDropWindow dropWindow_;
    // "用时图表...": reads the history list's model, so it is declared after the
    // list and destroyed before it.
    CUsageChartWnd usageChartWnd_;
};

}  // namespace hourlink
