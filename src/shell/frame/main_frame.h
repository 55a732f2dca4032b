// CMainFrame: the program's single top-level window and the owner of the running
// state. It holds the network probes and the connection watcher with its thread,
// follows the watcher's connect and disconnect events, logs them in the text
// pane, times the running session once a second, and hides instead of closing.
//
// Layout: the month bar across the top, a six-pane status bar at the bottom, and
// between them a splitter with the device tree on the left and, on the right, the
// history list over the text pane.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/settings/settings_store.h"
#include "shell/frame/frame_automation.h"
#include "core/base/clock.h"
#include "shell/platform/win32_file_system.h"
#include "core/net/connection_watcher.h"
#include "core/net/dialer.h"
#include "shell/frame/frame_watcher_events.h"
#include "core/net/network_info.h"
#include "shell/frame/watcher_thread.h"
#include "shell/platform/win32_dial_platform.h"
#include "shell/platform/win32_network_platform.h"
#include "core/records/backup_file.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_maintenance.h"
#include "core/records/record_table.h"
#include "core/accounting/accounting.h"
#include "core/accounting/limits.h"
#include "core/accounting/session_clock.h"
#include "core/accounting/traffic.h"
#include "shell/views/drop_window.h"
#include "shell/views/enum_view.h"
#include "shell/views/hourlink_view.h"
#include "shell/views/month_bar.h"
#include "shell/widgets/view_ex_split_wnd.h"
#include "shell/views/total_time_view.h"
#include "shell/widgets/tray_icon.h"
#include "shell/views/usage_chart_wnd.h"
#include "shell/win/status_bar.h"
#include "shell/win/window.h"

namespace hourlink {

// The RAS connection of the running session, for the dialing code and the
// traffic figures; 0 while offline.
extern std::atomic<RasHandle> g_rasConnection;

class CMainFrame : public win::Window {
  public:
    // Timer ids: 1 (the schedule, 10 s) and 3 (the shutdown check, 5 s) are
    // the automation's.
    static constexpr UINT_PTR kSessionTimer = 2;  // 1000 ms while a timed session is up

    // Status bar panes.
    enum Pane { kMessagePane, kSincePane, kTotalsPane, kReceivedPane, kSentPane, kSpeedPane };

    // `clock` gives the frame, its history list and the watcher the time, and
    // `dial` (when given) dials and hangs up instead of RAS; tests put their
    // own here. Both must outlive the frame.
    explicit CMainFrame(const Clock& clock = SystemClock::Instance(), DialPlatform* dial = nullptr);
    ~CMainFrame() override;

    // Creates the window, hidden, reading and writing settings through
    // `settings`, which must outlive the window. The settings are normalised
    // first, before anything reads them. False when it could not be created.
    bool Create(SettingsStore& settings);

    // The history view's first update: starts the watcher thread on the record
    // file in the data directory.
    void OnInitialUpdate();

    // The main window's title: the first field of string resource 128 ("Hourlink").
    static std::wstring Title();

    // Appends a text to the log pane.
    void AppendLog(std::wstring_view text);

    // State the tests and the other windows look at.
    bool IsOnline() const { return online_; }
    const std::wstring& ConnectionName() const { return connectionName_; }
    std::wstring PaneText(int pane) const { return statusBar_.PaneText(pane); }
    std::wstring LogText() const { return textPane_.Text(); }
    ui::CMonthBar& MonthBar() { return monthBar_; }
    ui::CTotalTimeView& TextPane() { return textPane_; }
    ConnectionWatcher& Watcher() { return *watcher_; }
    NetworkInfo& Network() { return network_; }
    std::uint32_t SessionElapsed() const;
    bool SessionTimerRunning() const { return sessionTimerRunning_; }
    int TranslucencyState() const { return translucent_; }
    // The history list owns the months and the figures; the frame asks it.
    YearMonth CurrentMonth() const { return historyView_.CurrentMonth(); }
    YearMonth DisplayedMonth() const { return historyView_.Month(); }
    AccountingFigures Figures() const { return historyView_.Figures(); }
    LimitMonitor& Limits() { return *limits_; }
    const std::wstring& TrayTip() const { return trayTip_; }
    Dialer& Dialing() { return *dialer_; }
    TrafficMeter& Traffic() { return *traffic_; }

    ui::CHourlinkView& HistoryView() { return historyView_; }
    ui::CTrayIcon& TrayIcon() { return trayIcon_; }
    ui::CDropWindow& DropWindow() { return dropWindow_; }
    ui::CEnumView& DeviceTree() { return enumView_; }
    ui::CUsageChartWnd& UsageChart() { return usageChart_; }
    // The record table the watcher loads and the history list reads.
    RecordTable& Table() { return table_; }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    int OnCreate();
    void CreateStatusBar();
    void CreateViews();
    void RestorePlacement();
    void SavePlacement();
    void LayoutChildren();
    void PutUpTrayIcon();
    // "adsl.bs" in the data directory.
    std::wstring RecordPath() const;

    LRESULT OnConnectionEvent(std::unique_ptr<ConnectionStatus> status);
    LRESULT OnConnect();
    void OnDisconnect();
    void CommonTail();
    void OnRecordsUpdated(WPARAM which);
    void OnSessionTick();
    // The session's traffic: status panes, rates, the record's figures and the
    // idle hang-up.
    void SampleTraffic();
    // What the device tree offers the connect command.
    EntryChoice EntryChoiceNow() const;
    // "选项...": the options dialog, then what a confirmed change affects.
    void OnOptions();
    void RunLimitDecision(const LimitDecision& decision);
    void ShowOfflineTexts();
    void OnMonthPicked(int year, int month);
    // Hangs up the current connection; the dialer does it for RAS connections.
    void HangUpConnection();
    void OnCommand(UINT id);
    void OnInitMenuPopup(HMENU menu);
    // The month bar's buttons follow the same enabling rules as the menus.
    void UpdateButtons();
    void OnClose();
    void OnDestroy();
    void ToggleMainWindow();
    bool IsCommandAvailable(UINT id) const;

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

    ui::CMonthBar monthBar_;
    win::StatusBar statusBar_;
    ui::CViewExSplitWnd outerSplitter_;
    ui::CViewExSplitWnd innerSplitter_;
    ui::CEnumView enumView_;
    ui::CHourlinkView historyView_;
    ui::CTotalTimeView textPane_;
    HFONT font_ = nullptr;
    ui::CTrayIcon trayIcon_;
    ui::CDropWindow dropWindow_;
    // "用时图表...": reads the history list's model, so it goes before the list.
    ui::CUsageChartWnd usageChart_;

    // The running session.
    ConnectionStatus status_;
    bool haveStatus_ = false;
    bool online_ = false;
    std::wstring connectionName_;
    RasHandle rasHandle_ = 0;
    SessionClock sessionClock_;
    bool sessionTimerRunning_ = false;
    std::uint32_t tickCounter_ = 0;
    bool firstRecordsUpdate_ = true;
    // The number of the last connection event applied; a start numbered lower
    // arrives after its own end and is dropped.
    std::uint32_t lastEventSequence_ = 0;
    // The notification-area tip, kept current for the tray icon.
    std::wstring trayTip_;
    // A limit popup or countdown is open: later ticks update the texts only.
    bool inLimitDialog_ = false;
    // Property/TranWindow as the normalisation left it: the drop window's
    // translucency.
    int translucent_ = 0;
};

}  // namespace hourlink
