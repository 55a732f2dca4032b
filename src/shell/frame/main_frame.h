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

#include "core/accounting/accounting.h"
#include "core/accounting/limits.h"
#include "core/accounting/session_clock.h"
#include "core/accounting/traffic.h"
#include "core/base/clock.h"
#include "core/net/connection_watcher.h"
#include "core/net/dialer.h"
#include "core/net/network_info.h"
#include "core/records/backup_file.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_maintenance.h"
#include "core/records/record_table.h"
#include "core/settings/settings_store.h"
#include "shell/frame/frame_automation.h"
#include "shell/frame/frame_watcher_events.h"
#include "shell/frame/watcher_thread.h"
#include "shell/platform/win32_dial_platform.h"
#include "shell/platform/win32_file_system.h"
#include "shell/platform/win32_network_platform.h"
#include "shell/views/drop_window.h"
#include "shell/views/enum_view.h"
#include "shell/views/hourlink_view.h"
#include "shell/views/month_bar.h"
#include "shell/views/total_time_view.h"
#include "shell/views/usage_chart_wnd.h"
#include "shell/widgets/tray_icon.h"
#include "shell/widgets/view_ex_split_wnd.h"
#include "shell/win/status_bar.h"
#include "shell/win/window.h"

namespace hourlink {

class CMainFrame : public win::Window {
  public:
    // Status bar panes.
    enum Pane { kMessagePane, kSincePane, kTotalsPane, kReceivedPane, kSentPane, kSpeedPane };

    // `clock` gives the frame, its history list and the watcher the time, and
    // `dial` (when given) dials and hangs up instead of RAS; tests put their
    // own here. Both must outlive the frame.
    explicit CMainFrame(const Clock& clock = SystemClock::Instance(), DialPlatform* dial = nullptr);
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
    bool IsOnline() const { return online_; }
    const std::wstring& ConnectionName() const { return connectionName_; }
    std::wstring PaneText(int pane) const { return statusBar_.PaneText(pane); }
    std::wstring LogText() const { return totalTimeView_.Text(); }
    std::uint32_t SessionElapsed() const;
    bool SessionTimerRunning() const { return sessionTimerRunning_; }
    // The history list owns the months and the figures; the frame asks it.
    YearMonth CurrentMonth() const { return hourlinkView_.CurrentMonth(); }
    YearMonth DisplayedMonth() const { return hourlinkView_.Month(); }
    AccountingFigures Figures() const { return hourlinkView_.Figures(); }
    LimitMonitor& Limits() { return *limits_; }
    ConnectionWatcher& Watcher() { return *watcher_; }
    // The record table the watcher loads and the history list reads.
    RecordTable& Table() { return table_; }
    CMonthBar& MonthBar() { return monthBar_; }
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
    void PutUpTrayIcon();
    void SavePlacement();
    void OnClose();
    void OnDestroy();
    // "adsl.bs" in the data directory.
    std::wstring RecordPath() const;

    // ---- main_frame_session.cpp: the session ----

    // The other threads' messages and the frame's timers; false for others.
    bool OnSessionMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    void CreateAutomation();
    LRESULT OnConnectionEvent(std::unique_ptr<ConnectionStatus> status);
    LRESULT OnConnect();
    void OnDisconnect();
    // What a connect and an end both finish with.
    void CommonTail();
    void OnSessionTick();
    // The session's traffic: status panes, rates, the record's figures and the
    // idle hang-up.
    void SampleTraffic();
    void RunLimitDecision(const LimitDecision& decision);
    void ShowOfflineTexts();
    // The history list has listed a month (picked, relisted after a session
    // or the options): the texts, the commands, the chart and the automation
    // follow it.
    void OnListed();
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
    std::unique_ptr<LimitMonitor> limits_;
    Win32DialPlatform win32Dial_;
    DialPlatform& dial_;
    DialTiming dialTiming_;
    std::unique_ptr<DialHost> dialHost_;
    std::unique_ptr<Dialer> dialer_;
    std::unique_ptr<TrafficMeter> traffic_;
    std::unique_ptr<FrameAutomation> automation_;

    CMonthBar monthBar_;
    win::StatusBar statusBar_;
    widgets::CViewExSplitWnd outerSplitter_;
    widgets::CViewExSplitWnd innerSplitter_;
    CEnumView enumView_;
    CHourlinkView hourlinkView_;
    CTotalTimeView totalTimeView_;
    widgets::CTrayIcon trayIcon_;
    CDropWindow dropWindow_;
    // "用时图表...": reads the history list's model, so it is declared after the
    // list and destroyed before it.
    CUsageChartWnd usageChartWnd_;

    // The running session.
    ConnectionStatus status_;
    bool online_ = false;
    std::wstring connectionName_;
    RasHandle rasHandle_ = 0;
    SessionClock sessionClock_;
    bool sessionTimerRunning_ = false;
    bool firstListing_ = true;
    // The number of the last connection event applied; a start numbered lower
    // arrives after its own end and is dropped.
    std::uint32_t lastEventSequence_ = 0;
    // The notification-area tip, kept for the icon when it is put up.
    std::wstring trayTip_;
    // A limit popup or countdown is open: later ticks update the texts only.
    bool inLimitDialog_ = false;
};

}  // namespace hourlink
