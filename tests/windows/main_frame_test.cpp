// The main frame in-process under Wine, fed the connection events the watcher
// thread sends (heap copies of the status block, posted at a connect and sent at
// a disconnect) without starting the thread: the log pane and status bar, the
// session tick and its label, untimed connection types, log texts from other
// threads, the saved window placement, hiding instead of closing, the exit
// question and power events.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>

#include "core/base/session_record.h"

#include <array>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <map>
#include <span>
#include <thread>

#include "core/base/clock.h"
#include "core/base/time_format.h"
#include "core/lock/protection_store.h"
#include "core/net/connection_watcher.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "dialog_script.h"
#include "fake_dial.h"
#include "res/connect_res.h"
#include "res/drop_window_res.h"
#include "res/main_window_res.h"
#include "res/options_res.h"
#include "res/resource.h"
#include "screenshot.h"
#include "shell/dialogs/program_lock.h"
#include "shell/frame/frame_messages.h"
#include "shell/frame/main_frame.h"
#include "shell/win/message_loop.h"
#include "temp_dir.h"
#include "test_records.h"

namespace hourlink {
namespace {

using test::At;
using test::Finished;

// "宽带连接" as the watcher stores it: GBK bytes.
constexpr std::string_view kBroadbandGbk = "\xbf\xed\xb4\xf8\xc1\xac\xbd\xd3";
constexpr std::wstring_view kBroadband = L"宽带连接";

void Pump() {
    win::MessageLoop().RunPending();
}

// Pumps messages, timers included, for about `ms` milliseconds.
void PumpFor(DWORD ms) {
    const DWORD begin = GetTickCount();
    do {
        Pump();
        Sleep(20);
    } while (GetTickCount() - begin < ms);
}

// The frame posts WM_QUIT when it is destroyed; the next test must not see it.
void DropQuit() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

std::uint32_t Now() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

ConnectionStatus MakeStatus(std::string_view gbkName, int type, std::uint32_t start) {
    ConnectionStatus status;
    status.SetName(gbkName);
    status.SetClientIp("10.0.0.2");
    status.type = static_cast<std::uint8_t>(type);
    status.start = start;
    status.online = 1;
    status.active = 1;
    return status;
}

// As the watcher thread does: a connect is posted, a disconnect sent; each
// carries its own heap copy, which the frame takes.
void PostConnect(HWND frame, const ConnectionStatus& status) {
    auto copy = std::make_unique<ConnectionStatus>(status);
    ASSERT_TRUE(PostMessageW(frame, WM_CONNECTION_EVENT, reinterpret_cast<WPARAM>(copy.get()), 0));
    copy.release();
    Pump();
}

void SendDisconnect(HWND frame, ConnectionStatus status) {
    status.online = 0;
    status.active = 0;
    status.end = Now();
    SendMessageW(frame, WM_CONNECTION_EVENT, reinterpret_cast<WPARAM>(new ConnectionStatus(status)),
                 0);
}

std::wstring WindowText(HWND hwnd) {
    std::array<wchar_t, 512> text{};
    GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// Seconds of an "H:MM:SS" text (trailing blanks allowed); nothing when it is
// not one.
std::optional<long> ParseDuration(const std::wstring& text) {
    long h = 0, m = 0, s = 0;
    if (swscanf(text.c_str(), L"%ld:%ld:%ld", &h, &m, &s) != 3) return std::nullopt;
    return h * 3600 + m * 60 + s;
}

RECT WindowRectOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

class MainFrameTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (frame_) frame_->Destroy();
        frame_.reset();
        DropQuit();
    }

    // Creates the frame on the settings planted so far.
    CMainFrame& Open() {
        frame_ = std::make_unique<CMainFrame>();
        EXPECT_TRUE(frame_->Create(settings_));
        return *frame_;
    }
    // Creates the frame on `clock` with an empty record file in a data folder
    // of its own, then lists `records` as if the watcher had loaded them.
    CMainFrame& OpenWithRecords(const Clock& clock, std::vector<SessionRecord> records,
                                DialPlatform* dial = nullptr) {
        const std::wstring file = data_.File(L"adsl.bs");
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        const auto header = EncodeHeader(RecordFileHeader{});
        DWORD written = 0;
        WriteFile(h, header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
        CloseHandle(h);
        settings_.WriteString(L"", L"Directory", data_.path());
        frame_ = std::make_unique<CMainFrame>(clock, dial);
        EXPECT_TRUE(frame_->Create(settings_));
        frame_->Table().Replace(std::move(records));
        PostMessageW(Hwnd(), WM_RECORDS_UPDATED, 1, 0);
        Pump();
        return *frame_;
    }

    HWND Hwnd() const { return frame_->Hwnd(); }
    std::wstring SessionLabel() const { return WindowText(frame_->MonthBar().Label(3)); }
    std::wstring StartLabel() const { return WindowText(frame_->MonthBar().Label(5)); }

    void PlantPlacement(int status, int top, int left, int bottom, int right) {
        settings_.Put(settings::kFrame, L"Status", static_cast<std::uint32_t>(status));
        settings_.Put(settings::kFrame, L"Top", static_cast<std::uint32_t>(top));
        settings_.Put(settings::kFrame, L"Left", static_cast<std::uint32_t>(left));
        settings_.Put(settings::kFrame, L"Bottom", static_cast<std::uint32_t>(bottom));
        settings_.Put(settings::kFrame, L"Right", static_cast<std::uint32_t>(right));
    }
    int Saved(const wchar_t* key) { return settings_.ReadInt(settings::kFrame, key, -1); }
    void ExpectSavedRect(const RECT& r) {
        EXPECT_EQ(Saved(L"Left"), r.left);
        EXPECT_EQ(Saved(L"Top"), r.top);
        EXPECT_EQ(Saved(L"Right"), r.right);
        EXPECT_EQ(Saved(L"Bottom"), r.bottom);
    }

    MemorySettingsStore settings_;
    test::TempDir data_{L"hourlink-frame-"};
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainFrameTest, TheFirstStartSaysWhereTheTrayIconIsAndLaterStartsDoNot) {
    for (const bool first : {true, false}) {
        CMainFrame& frame = Open();
        for (int i = 0; i < 250 && !frame.TrayIcon().IsPresent(); ++i) PumpFor(20);
        ASSERT_TRUE(frame.TrayIcon().IsPresent());
        EXPECT_EQ(frame.TrayIcon().BalloonText(), first ? CMainFrame::kTrayHintText : L"");
        EXPECT_EQ(ReadSetting(settings_, settings::kTrayHintShown), 1);
        frame_->Destroy();
        frame_.reset();
        DropQuit();
    }
}

TEST_F(MainFrameTest, FirstStartLateInTheMonthShowsTheNextAccountingMonthEverywhere) {
    // No settings at all; from the 21st on, the month is named after the next
    // calendar month, and every part of the window agrees on it.
    ManualClock clock(At(2026, 12, 25, 10));
    OpenWithRecords(clock, {Finished(At(2026, 12, 10, 9), 600), Finished(At(2026, 12, 22, 9), 900),
                            Finished(At(2027, 1, 25, 9), 300)});
    SYSTEMTIME shown{};
    SendMessageW(frame_->MonthBar().Picker(), DTM_GETSYSTEMTIME, 0,
                 reinterpret_cast<LPARAM>(&shown));
    EXPECT_EQ(shown.wYear, 2027);
    EXPECT_EQ(shown.wMonth, 1);
    EXPECT_EQ(frame_->DisplayedMonth(), (YearMonth{2027, 1}));
    EXPECT_EQ(frame_->CurrentMonth(), (YearMonth{2027, 1}));
    ASSERT_EQ(frame_->HourlinkView().RowCount(), 1);
    EXPECT_EQ(frame_->HourlinkView().ItemText(0, 0), L"2026/12/22 09:00:00");
    EXPECT_EQ(frame_->PaneText(CMainFrame::kSincePane), L"从2026/12/21开始计时");
    EXPECT_EQ(frame_->Figures().monthTotal, 900);
}

TEST_F(MainFrameTest, FirstSessionOfANewDayCountsTodayFromZero) {
    // Six hours used today against a five-hour daily limit (alarm without a
    // popup, so a wrongly raised alarm shows only in the flag).
    WriteSetting(settings_, settings::kAlarmSound, 1);
    WriteSetting(settings_, settings::kAlarmWindow, 0);
    ManualClock clock(At(2026, 12, 25, 23));
    OpenWithRecords(clock, {Finished(At(2026, 12, 25, 8), 6 * 3600)}).Show(SW_SHOW);
    EXPECT_EQ(frame_->Figures().todayTotal, 6 * 3600);

    clock.Set(At(2026, 12, 26, 0, 0, 10));
    PostConnect(Hwnd(), MakeStatus(kBroadbandGbk, 2, static_cast<std::uint32_t>(clock.Now())));
    EXPECT_EQ(frame_->Figures().todayTotal, 0);
    EXPECT_FALSE(frame_->Limits().DayAlarmRaised());
    const std::wstring totals = frame_->PaneText(CMainFrame::kTotalsPane);
    EXPECT_NE(totals.find(L"今日用时:00:00:00"), std::wstring::npos)
        << testing::PrintToString(totals);
}

TEST_F(MainFrameTest, ASessionThatEndsDuringALimitPopupGetsNoMoreOfItsTick) {
    // Two hours today against one-hour limits, popups: one tick decides both.
    WriteSetting(settings_, settings::kLimitTime, 1);
    WriteSetting(settings_, settings::kDayLimit, 1);
    ManualClock clock(At(2026, 12, 25, 20));
    OpenWithRecords(clock, {Finished(At(2026, 12, 25, 8), 2 * 3600)});
    const ConnectionStatus status =
        MakeStatus(kBroadbandGbk, 2, static_cast<std::uint32_t>(clock.Now()));
    // The line drops while the first popup is open.
    int popups = 0;
    test::Script answer([&] {
        HWND box = test::FindDialog(L"Hourlink");
        if (!box) return true;
        if (++popups == 1) SendDisconnect(Hwnd(), status);
        test::Press(box, IDOK);
        return popups < 2;
    });
    PostConnect(Hwnd(), status);
    PumpFor(500);
    EXPECT_EQ(popups, 1);
    EXPECT_FALSE(frame_->IsOnline());
    EXPECT_FALSE(frame_->Limits().DayAlarmRaised());
    // The texts are the offline ones, not the ended session's tick.
    EXPECT_NE(frame_->PaneText(CMainFrame::kTotalsPane).find(L";今日用时:"), std::wstring::npos)
        << testing::PrintToString(frame_->PaneText(CMainFrame::kTotalsPane));
}

TEST_F(MainFrameTest, TheShareOfALimitUsedIsToldByABalloonAndNeverByABox) {
    // Eight of ten hours used since the month began on 21 December.
    WriteSetting(settings_, settings::kLimitTime, 10);
    ManualClock clock(At(2026, 12, 25, 20));
    CMainFrame& frame = OpenWithRecords(clock, {Finished(At(2026, 12, 22, 8), 8 * 3600)});
    for (int i = 0; i < 250 && !frame.TrayIcon().IsPresent(); ++i) PumpFor(20);
    ASSERT_TRUE(frame.TrayIcon().IsPresent());
    PostConnect(Hwnd(), MakeStatus(kBroadbandGbk, 2, static_cast<std::uint32_t>(clock.Now())));
    PumpFor(100);
    EXPECT_EQ(frame.TrayIcon().BalloonText(),
              L"本月已用80%的上网时间（8小时）。按目前速度，将于12月27日用完。");
    EXPECT_FALSE(test::FindDialog(L"Hourlink"));
    EXPECT_EQ(ReadSetting(settings_, settings::kHourWarned), 202701);
}

TEST_F(MainFrameTest, SystemMenuKeepsItsItemsAndButtonsFollowTheirCommands) {
    ManualClock clock(At(2026, 12, 25, 10));
    OpenWithRecords(clock, {Finished(At(2026, 12, 22, 9), 900), Finished(At(2026, 12, 23, 9), 60)});
    frame_->Show(SW_SHOW);
    HMENU system = GetSystemMenu(Hwnd(), FALSE);
    SendMessageW(Hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(system), MAKELPARAM(0, TRUE));
    for (UINT command : {SC_CLOSE, SC_MOVE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) {
        EXPECT_FALSE(GetMenuState(system, command, MF_BYCOMMAND) & MF_GRAYED) << command;
    }

    // "计算总时间" needs two selected rows, on the bar as in the menu.
    HWND list = frame_->HourlinkView().Hwnd();
    EXPECT_FALSE(frame_->MonthBar().IsButtonEnabled(ID_SUM_SELECTION));
    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_TRUE(frame_->MonthBar().IsButtonEnabled(ID_SUM_SELECTION));
    ListView_SetItemState(list, 1, 0, LVIS_SELECTED);
    EXPECT_FALSE(frame_->MonthBar().IsButtonEnabled(ID_SUM_SELECTION));
    // A click on the button, as the tool bar reports it, runs the command only
    // while it is enabled: the totals of two rows go to the log pane.
    const auto click = [&] {
        SendMessageW(Hwnd(), WM_COMMAND, MAKEWPARAM(ID_SUM_SELECTION, BN_CLICKED),
                     reinterpret_cast<LPARAM>(frame_->MonthBar().Hwnd()));
    };
    const std::wstring log = frame_->LogText();
    click();
    EXPECT_EQ(frame_->LogText(), log);
    ListView_SetItemState(list, -1, LVIS_SELECTED, LVIS_SELECTED);
    click();
    EXPECT_NE(frame_->LogText().find(L"所选项使用分钟: 16分钟"), std::wstring::npos);

    // Fly-by help: a button's prompt in pane 0 while the mouse is over it.
    const std::wstring message = frame_->PaneText(CMainFrame::kMessagePane);
    NMTBHOTITEM hot{};
    hot.hdr = {frame_->MonthBar().Hwnd(), ID_MONTH_BAR, static_cast<UINT>(TBN_HOTITEMCHANGE)};
    hot.idNew = ID_CONNECT;
    hot.dwFlags = HICF_MOUSE;
    SendMessageW(Hwnd(), WM_NOTIFY, ID_MONTH_BAR, reinterpret_cast<LPARAM>(&hot));
    EXPECT_EQ(frame_->PaneText(CMainFrame::kMessagePane), L"用选定的连接拨号上网");
    hot.idNew = 0;
    hot.dwFlags = HICF_LEAVING;
    SendMessageW(Hwnd(), WM_NOTIFY, ID_MONTH_BAR, reinterpret_cast<LPARAM>(&hot));
    EXPECT_EQ(frame_->PaneText(CMainFrame::kMessagePane), message);
}

TEST_F(MainFrameTest, AStartThatArrivesAfterItsEndIsDropped) {
    ManualClock clock(At(2026, 12, 25, 10));
    OpenWithRecords(clock, {});
    ConnectionStatus start = MakeStatus(kBroadbandGbk, 2, static_cast<std::uint32_t>(clock.Now()));
    start.sequence = 1;
    ConnectionStatus end = start;
    end.sequence = 2;
    end.online = end.active = 0;
    end.duration = end.elapsed = 42;
    end.end = end.start + 42;
    end.billed = 60;
    // As the watcher thread does: the start posted, the end sent. A sent
    // message is handled before a posted one that waits in the queue.
    const HWND frame = Hwnd();
    std::thread watcher([&] {
        PostMessageW(frame, WM_CONNECTION_EVENT,
                     reinterpret_cast<WPARAM>(new ConnectionStatus(start)), 0);
        SendMessageW(frame, WM_CONNECTION_EVENT,
                     reinterpret_cast<WPARAM>(new ConnectionStatus(end)), 0);
    });
    Sleep(300);  // the start is queued and the end waits to be handled
    PumpFor(200);
    watcher.join();
    Pump();
    EXPECT_FALSE(frame_->IsOnline());
    EXPECT_FALSE(frame_->SessionTimerRunning());
    EXPECT_EQ(frame_->LogText(), L"宽带连接离线\r\n");
    // The finished session is listed all the same.
    ASSERT_EQ(frame_->HourlinkView().RowCount(), 1);
    EXPECT_EQ(frame_->Figures().monthTotal, 42);
}

TEST_F(MainFrameTest, ConnectAndDisconnectAreLoggedUnderTheConnectionsName) {
    Open();
    const std::uint32_t start = Now();
    const ConnectionStatus status = MakeStatus(kBroadbandGbk, 2, start);

    PostConnect(Hwnd(), status);
    EXPECT_TRUE(frame_->IsOnline());
    EXPECT_EQ(frame_->ConnectionName(), kBroadband);
    EXPECT_EQ(frame_->LogText(), L"宽带连接在线\r\n");
    EXPECT_EQ(frame_->PaneText(CMainFrame::kMessagePane), L"宽带连接在线");
    EXPECT_EQ(StartLabel(), FormatLocalTime(start));
    EXPECT_TRUE(frame_->SessionTimerRunning());

    SendDisconnect(Hwnd(), status);
    EXPECT_FALSE(frame_->IsOnline());
    EXPECT_FALSE(frame_->SessionTimerRunning());
    EXPECT_EQ(frame_->LogText(), L"宽带连接在线\r\n宽带连接离线\r\n");
    EXPECT_EQ(frame_->PaneText(CMainFrame::kMessagePane), L"宽带连接离线");

    // A second session under another name follows on in the log.
    const ConnectionStatus lan = MakeStatus("LAN", 2, Now());
    PostConnect(Hwnd(), lan);
    SendDisconnect(Hwnd(), lan);
    EXPECT_EQ(frame_->LogText(), L"宽带连接在线\r\n宽带连接离线\r\nLAN在线\r\nLAN离线\r\n");
    EXPECT_EQ(frame_->PaneText(CMainFrame::kMessagePane), L"LAN离线");
}

TEST_F(MainFrameTest, HistoryListShowsTheLiveRowAndTheFinishedSession) {
    // A data directory with an empty record file, as the watcher leaves it.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"hourlink-frame-history";
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring file = dir + L"\\adsl.bs";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const auto header = EncodeHeader(RecordFileHeader{});
    DWORD written = 0;
    WriteFile(h, header.data(), static_cast<DWORD>(header.size()), &written, nullptr);
    CloseHandle(h);
    settings_.WriteString(L"", L"Directory", dir);
    Open();
    // The watcher has loaded an empty record table.
    PostMessageW(Hwnd(), WM_RECORDS_UPDATED, 1, 0);
    Pump();
    EXPECT_EQ(frame_->HourlinkView().RowCount(), 0);
    ConnectionStatus status = MakeStatus(kBroadbandGbk, 2, Now() - 30);
    PostConnect(Hwnd(), status);
    EXPECT_EQ(frame_->HourlinkView().RowCount(), 1);
    status.elapsed = status.duration = 95;
    status.billed = 120;
    SendDisconnect(Hwnd(), status);
    Pump();
    ASSERT_EQ(frame_->HourlinkView().RowCount(), 1);
    // The finished session counts into the month and today.
    EXPECT_EQ(frame_->Figures().monthTotal, 95);
    EXPECT_EQ(frame_->Figures().todayTotal, 95);
    DeleteFileW(file.c_str());
    RemoveDirectoryW(dir.c_str());
}

TEST_F(MainFrameTest, SessionAlreadyRunningForTenMinutesCountsOnFromThere) {
    Open().Show(SW_SHOW);
    PostConnect(Hwnd(), MakeStatus(kBroadbandGbk, 1, Now() - 600));

    // The first tick runs with the event; a second boundary may pass meanwhile.
    const auto first = ParseDuration(SessionLabel());
    ASSERT_TRUE(first.has_value()) << testing::PrintToString(SessionLabel());
    EXPECT_GE(*first, 600);
    EXPECT_LE(*first, 601);
    EXPECT_EQ(SessionLabel().rfind(L"0:10:0", 0), 0u);
    // The watcher stores what the tick measured as the session's duration.
    EXPECT_EQ(frame_->Watcher().Status().elapsed, static_cast<std::uint32_t>(*first));

    // The timer keeps counting without further events.
    PumpFor(2600);
    const auto later = ParseDuration(SessionLabel());
    ASSERT_TRUE(later.has_value());
    EXPECT_GE(*later, *first + 2);
    EXPECT_LE(*later, *first + 4);
    EXPECT_EQ(frame_->Watcher().Status().elapsed, static_cast<std::uint32_t>(*later));

    // After the disconnect the label stays where the session ended.
    SendDisconnect(Hwnd(), MakeStatus(kBroadbandGbk, 1, Now() - 603));
    const std::wstring ended = SessionLabel();
    PumpFor(1300);
    EXPECT_EQ(SessionLabel(), ended);
}

// Hidden in the tray, the window's labels and panes are left alone by the
// tick; shown, and shown again after a minimise, they catch up at once.
TEST_F(MainFrameTest, AHiddenWindowIsNotUpdatedByTheTickAndCatchesUpWhenShown) {
    Open();
    const std::wstring hiddenLabel = SessionLabel();
    const std::wstring hiddenTotals = frame_->PaneText(CMainFrame::kTotalsPane);
    PostConnect(Hwnd(), MakeStatus(kBroadbandGbk, 1, Now() - 600));
    PumpFor(1300);
    EXPECT_EQ(SessionLabel(), hiddenLabel);
    EXPECT_EQ(frame_->PaneText(CMainFrame::kTotalsPane), hiddenTotals);
    EXPECT_EQ(frame_->PaneText(CMainFrame::kMessagePane), L"宽带连接在线");  // an event's

    frame_->Show(SW_SHOW);
    const auto shown = ParseDuration(SessionLabel());
    ASSERT_TRUE(shown.has_value()) << testing::PrintToString(SessionLabel());
    EXPECT_GE(*shown, 601);
    EXPECT_NE(frame_->PaneText(CMainFrame::kTotalsPane), hiddenTotals);

    ShowWindow(Hwnd(), SW_MINIMIZE);
    const std::wstring minimised = SessionLabel();
    PumpFor(2300);
    EXPECT_EQ(SessionLabel(), minimised);
    ShowWindow(Hwnd(), SW_RESTORE);
    EXPECT_GE(*ParseDuration(SessionLabel()), *ParseDuration(minimised) + 2);
}

TEST_F(MainFrameTest, AHiddenStartMakesNeitherTheDropWindowNorTheTreesPictures) {
    Open();
    EXPECT_EQ(frame_->DropWindow().Hwnd(), nullptr);
    EXPECT_FALSE(frame_->EnumView().HasPictures());
    // Shown: the tree gets its pictures and its column still holds the root.
    frame_->Show(SW_SHOW);
    ASSERT_TRUE(frame_->EnumView().HasPictures());
    RECT tree{};
    GetWindowRect(frame_->EnumView().Hwnd(), &tree);
    EXPECT_LE(frame_->EnumView().WidthForRoot(), tree.right - tree.left);
    // Online: the drop window is made, shown, with the tick's texts.
    PostConnect(Hwnd(), MakeStatus(kBroadbandGbk, 1, Now() - 600));
    PumpFor(1300);
    ASSERT_TRUE(frame_->DropWindow().IsVisible());
    EXPECT_TRUE(ParseDuration(frame_->DropWindow().ItemText(IDC_DROP_SESSION)).has_value());
}

TEST_F(MainFrameTest, OnlyConnectionTypesOneToThreeAreTimed) {
    Open();
    for (int type : {1, 2, 3}) {
        SCOPED_TRACE(type);
        const ConnectionStatus status = MakeStatus("PPPoE", type, Now());
        PostConnect(Hwnd(), status);
        EXPECT_TRUE(frame_->SessionTimerRunning());
        SendDisconnect(Hwnd(), status);
        EXPECT_FALSE(frame_->SessionTimerRunning());
    }

    frame_.reset();
    DropQuit();
    Open();
    const std::wstring untimed = SessionLabel();
    const ConnectionStatus office = MakeStatus(kBroadbandGbk, 4, Now() - 600);
    PostConnect(Hwnd(), office);
    // Shown as online...
    EXPECT_TRUE(frame_->IsOnline());
    EXPECT_EQ(frame_->LogText(), L"宽带连接在线\r\n");
    EXPECT_EQ(frame_->PaneText(CMainFrame::kMessagePane), L"宽带连接在线");
    // ...but never timed.
    EXPECT_FALSE(frame_->SessionTimerRunning());
    PumpFor(1300);
    EXPECT_EQ(SessionLabel(), untimed);
    EXPECT_EQ(frame_->Watcher().Status().elapsed, 0u);

    SendDisconnect(Hwnd(), office);
    EXPECT_EQ(frame_->LogText(), L"宽带连接在线\r\n宽带连接离线\r\n");
}

TEST_F(MainFrameTest, LogAndDialTextsAreAppendedAtTheEnd) {
    Open();
    PostConnect(Hwnd(), MakeStatus("LAN", 2, Now()));
    // The user put the caret at the start and selected something.
    HWND pane = frame_->TotalTimeView().Hwnd();
    SendMessageW(pane, EM_SETSEL, 0, 2);

    auto* report = new std::wstring(L"DNS = 10.0.0.1\r\n");
    ASSERT_TRUE(PostMessageW(Hwnd(), WM_LOG_TEXT, 0, reinterpret_cast<LPARAM>(report)));
    Pump();
    EXPECT_EQ(frame_->LogText(), L"LAN在线\r\nDNS = 10.0.0.1\r\n");

    SendMessageW(pane, EM_SETSEL, 0, 0);
    auto* dial = new std::wstring(L"正在拨号...\r\n");
    EXPECT_EQ(SendMessageW(Hwnd(), WM_DIAL_TEXT, reinterpret_cast<WPARAM>(dial), 0), 1);
    auto* more = new std::wstring(L"已连接\r\n");
    EXPECT_EQ(SendMessageW(Hwnd(), WM_LOG_TEXT, 0, reinterpret_cast<LPARAM>(more)), 1);
    EXPECT_EQ(frame_->LogText(), L"LAN在线\r\nDNS = 10.0.0.1\r\n正在拨号...\r\n已连接\r\n");
}

TEST_F(MainFrameTest, SavedPlacementIsAppliedOnlyWhenComplete) {
    PlantPlacement(SW_SHOWNORMAL, 100, 50, 400, 650);
    Open();
    RECT r = WindowRectOf(Hwnd());
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.right, 650);
    EXPECT_EQ(r.bottom, 400);

    for (const wchar_t* missing : {L"Status", L"Top", L"Left", L"Bottom", L"Right"}) {
        SCOPED_TRACE(testing::Message() << "without " << missing);
        frame_.reset();
        DropQuit();
        PlantPlacement(SW_SHOWNORMAL, 100, 50, 400, 650);
        settings_.Remove(settings::kFrame, missing);
        Open();
        r = WindowRectOf(Hwnd());
        EXPECT_NE(r.right - r.left, 600);
        EXPECT_NE(r.bottom - r.top, 300);
    }
}

TEST_F(MainFrameTest, PlacementBeyondTheScreenIsPulledBack) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    PlantPlacement(SW_SHOWNORMAL, screenHeight + 500, screenWidth + 800, screenHeight + 800,
                   screenWidth + 1200);
    Open();
    const RECT r = WindowRectOf(Hwnd());
    EXPECT_EQ(r.left, screenWidth - GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(r.top, screenHeight - GetSystemMetrics(SM_CYICON));
    // The size is kept.
    EXPECT_EQ(r.right - r.left, 400);
    EXPECT_EQ(r.bottom - r.top, 300);
}

TEST_F(MainFrameTest, PlacementIsSavedAtConnectionEventsAndAtDestruction) {
    Open();
    EXPECT_FALSE(settings_.Contains(settings::kFrame, L"Left"));

    SetWindowPos(Hwnd(), nullptr, 30, 40, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    const ConnectionStatus status = MakeStatus("LAN", 2, Now());
    PostConnect(Hwnd(), status);
    ExpectSavedRect(WindowRectOf(Hwnd()));
    EXPECT_EQ(Saved(L"Left"), 30);
    EXPECT_EQ(Saved(L"Status"), SW_SHOWNORMAL);

    SetWindowPos(Hwnd(), nullptr, 60, 70, 420, 260, SWP_NOZORDER | SWP_NOACTIVATE);
    SendDisconnect(Hwnd(), status);
    ExpectSavedRect(WindowRectOf(Hwnd()));

    // A maximised window saves its normal rectangle and its state.
    SetWindowPos(Hwnd(), nullptr, 90, 80, 440, 280, SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT normal = WindowRectOf(Hwnd());
    ShowWindow(Hwnd(), SW_SHOWMAXIMIZED);
    Pump();
    // The object goes with its window still there.
    frame_.reset();
    DropQuit();
    ExpectSavedRect(normal);
    EXPECT_EQ(Saved(L"Status"), SW_SHOWMAXIMIZED);

    // What was saved is where the next start puts the window.
    // Shown as the program shows it at start.
    Open().Show(SW_SHOW);
    EXPECT_TRUE(IsZoomed(Hwnd()));
    ShowWindow(Hwnd(), SW_RESTORE);
    const RECT restored = WindowRectOf(Hwnd());
    EXPECT_EQ(restored.left, normal.left);
    EXPECT_EQ(restored.top, normal.top);
    EXPECT_EQ(restored.right, normal.right);
    EXPECT_EQ(restored.bottom, normal.bottom);
}

TEST_F(MainFrameTest, MinimisingAndTheCloseBoxHideTheWindow) {
    Open().Show(SW_SHOW);
    SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(Hwnd()));
    EXPECT_FALSE(IsWindowVisible(Hwnd()));

    frame_->Show(SW_SHOW);
    SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(Hwnd()));
    EXPECT_FALSE(IsIconic(Hwnd()));

    // Other system commands keep their usual meaning.
    frame_->Show(SW_SHOW);
    SendMessageW(Hwnd(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(IsWindowVisible(Hwnd()));
    EXPECT_TRUE(IsZoomed(Hwnd()));
}

TEST_F(MainFrameTest, EveryPowerEventIsGranted) {
    Open();
    for (WPARAM event :
         {PBT_APMQUERYSUSPEND, PBT_APMSUSPEND, PBT_APMRESUMEAUTOMATIC, PBT_APMPOWERSTATUSCHANGE}) {
        EXPECT_EQ(SendMessageW(Hwnd(), WM_POWERBROADCAST, event, 0), TRUE) << event;
    }
}

// The exit question is a modal message box: a timer of this thread answers it
// from inside the box's own message loop.
struct ExitQuestion {
    static inline int answer = IDNO;
    static inline int seen = 0;
    static inline std::wstring caption, text;
    static inline bool hasYes = false, hasNo = false, hasOk = false;

    static inline UINT_PTR timer = 0;

    static void Arm(int button) {
        answer = button;
        seen = 0;
        caption.clear();
        text.clear();
        timer = SetTimer(nullptr, 0, 100, &Answer);
    }
    static void Disarm() { KillTimer(nullptr, timer); }
    static void CALLBACK Answer(HWND, UINT, UINT_PTR id, DWORD) {
        HWND box = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND hwnd, LPARAM lp) -> BOOL {
                wchar_t cls[32] = {};
                GetClassNameW(hwnd, cls, 32);
                if (std::wstring_view(cls) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
                // The floating drop window is a dialog too, but no question.
                if (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) return TRUE;
                *reinterpret_cast<HWND*>(lp) = hwnd;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&box));
        if (!box) return;
        ++seen;
        caption = WindowText(box);
        // The question is the static control with text (the icon has none).
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (_wcsicmp(cls, L"Static") == 0 && GetWindowTextLengthW(child) > 0) {
                text = WindowText(child);
            }
        }
        hasYes = GetDlgItem(box, IDYES) != nullptr;
        hasNo = GetDlgItem(box, IDNO) != nullptr;
        hasOk = GetDlgItem(box, IDOK) != nullptr;
        KillTimer(nullptr, id);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    }
};

TEST_F(MainFrameTest, ClosingWhileOnlineAsksFirstAndStaysOnNo) {
    Open().Show(SW_SHOW);
    PostConnect(Hwnd(), MakeStatus(kBroadbandGbk, 2, Now()));

    ExitQuestion::Arm(IDNO);
    SendMessageW(Hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitQuestion::seen, 1);
    EXPECT_EQ(ExitQuestion::caption, L"Hourlink");
    EXPECT_EQ(ExitQuestion::text, L"现在宽带连接在线，确实要退出吗?");
    EXPECT_TRUE(ExitQuestion::hasYes);
    EXPECT_TRUE(ExitQuestion::hasNo);
    EXPECT_FALSE(ExitQuestion::hasOk);
    EXPECT_TRUE(IsWindow(Hwnd()));
    EXPECT_TRUE(frame_->IsOnline());

    ExitQuestion::Arm(IDYES);
    const HWND hwnd = Hwnd();
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(ExitQuestion::seen, 1);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MainFrameTest, RestoringTheDefaultsTurnsTranslucencyOffAtOnceEvenOnCancel) {
    WriteSetting(settings_, settings::kTranWindow, 1);
    Open();
    ASSERT_TRUE(frame_->DropWindow().IsTranslucent());
    bool translucentAfterRestore = true;
    int step = 0;
    test::Script options([&] {
        HWND dialog = test::FindDialog(L"选项");
        if (!dialog) return true;
        if (step++ == 0) {
            test::Press(dialog, IDC_OPT_RESTORE_DEFAULTS);
            return true;
        }
        translucentAfterRestore = frame_->DropWindow().IsTranslucent();
        test::Press(dialog, IDCANCEL);
        return false;
    });
    SendMessageW(Hwnd(), WM_COMMAND, ID_OPTIONS, 0);
    EXPECT_FALSE(translucentAfterRestore);
    EXPECT_FALSE(frame_->DropWindow().IsTranslucent());
    EXPECT_EQ(ReadSetting(settings_, settings::kTranWindow), 0);
}

// The lock's values in memory.
struct MemoryProtectionValues final : ProtectionValues {
    std::map<std::wstring, std::vector<std::uint8_t>, std::less<>> values;
    std::optional<std::vector<std::uint8_t>> Read(std::wstring_view name) override {
        const auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    bool Write(std::wstring_view name, std::span<const std::uint8_t> bytes) override {
        values[std::wstring(name)].assign(bytes.begin(), bytes.end());
        return true;
    }
    bool Delete(std::wstring_view name) override {
        values.erase(std::wstring(name));
        return true;
    }
};

TEST_F(MainFrameTest, ALockedProgramEndsOnlyWithItsPassword) {
    MemoryProtectionValues values;
    ASSERT_TRUE(ProtectionStore(values).Save(true, false, "s3cret"));
    ProgramLock::SetValuesForTesting(&values);
    Open().Show(SW_SHOW);
    ExitQuestion::Arm(IDCANCEL);
    SendMessageW(Hwnd(), WM_CLOSE, 0, 0);
    ProgramLock::SetValuesForTesting(nullptr);
    EXPECT_EQ(ExitQuestion::seen, 1);
    EXPECT_EQ(ExitQuestion::caption, L"请输入用户名和口令");
    EXPECT_TRUE(IsWindow(Hwnd()));
}

TEST_F(MainFrameTest, ClosingWhileOfflineEndsAtOnce) {
    Open();
    const ConnectionStatus status = MakeStatus("LAN", 2, Now());
    PostConnect(Hwnd(), status);
    SendDisconnect(Hwnd(), status);

    ExitQuestion::Arm(IDNO);
    const HWND hwnd = Hwnd();
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    PumpFor(300);
    ExitQuestion::Disarm();
    EXPECT_EQ(ExitQuestion::seen, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    // Destruction ends the message loop.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

}  // namespace
}  // namespace hourlink

namespace hourlink {
namespace {

// The frame dialling through a scripted RAS.
class FrameDialTest : public MainFrameTest {
  protected:
    FrameDialTest() {
        DialParameters home;
        home.entryName = L"Home";
        home.userName = L"alice";
        dial_.entries[L"Home"] = {home, false};
        WriteSetting(settings_, settings::kDefaultConnect, L"Home");
    }
    void OpenDialing(const Clock& clock, std::vector<SessionRecord> records = {}) {
        OpenWithRecords(clock, std::move(records), &dial_).Show(SW_SHOW);
    }
    test::FakeDialPlatform dial_;
};

TEST_F(FrameDialTest, TheConnectCommandDialsWhatTheDialogGivesAndLogsRasProgress) {
    ManualClock clock(At(2026, 12, 25, 10));
    OpenDialing(clock);
    std::wstring title, user;
    test::Script answer([&] {
        HWND box = test::FindDialog(L"Home");
        if (!box) return true;
        title = WindowText(box);
        wchar_t text[64] = {};
        GetDlgItemTextW(box, IDC_CONNECT_USER, text, 64);
        user = text;
        EXPECT_TRUE(test::SaveScreenshot(box, "connect_dialog"));
        SetDlgItemTextW(box, IDC_CONNECT_PASSWORD, L"pw");
        SetDlgItemTextW(box, IDC_CONNECT_PHONE, L"16300");
        test::Press(box, IDOK);
        return false;
    });
    // "连接..." chosen in the device tree's menu, which the tree owns.
    SendMessageW(frame_->EnumView().Hwnd(), WM_COMMAND, ID_CONNECT, 0);
    EXPECT_EQ(title, L"Home");
    EXPECT_EQ(user, L"alice");
    ASSERT_TRUE(dial_.WaitUntil([&] { return !dial_.dialled.empty(); }));
    EXPECT_EQ(dial_.dialled[0].password, L"pw");
    // RAS's notifications arrive as messages; the log follows them.
    for (WPARAM state : {0, 1, 5, 0x2000}) PostMessageW(Hwnd(), WM_RAS_DIAL_STATE, state, 0);
    PumpFor(300);
    EXPECT_EQ(frame_->LogText(),
              L"正在连接Home...\r\n正在拨号16300...\r\n即将打开一个通信端口\r\n"
              L"通信端口已打开\r\nRAS身份验证进程已开始\r\n连接成功\r\n在线.\r\n");
    EXPECT_TRUE(test::SaveScreenshot(Hwnd(), "dial_log"));
}

TEST_F(FrameDialTest, ALimitWithHangUpSetHangsUpTheRasConnection) {
    // Two hours used today against a one-hour daily limit, hang-up chosen.
    WriteSetting(settings_, settings::kDayLimit, 1);
    WriteSetting(settings_, settings::kHangUp, 1);
    ManualClock clock(At(2026, 12, 25, 22));
    OpenDialing(clock, {Finished(At(2026, 12, 25, 8), 2 * 3600)});
    ConnectionStatus status = MakeStatus("Home", 1, static_cast<std::uint32_t>(clock.Now()));
    status.rasConnection = 0x42;
    // The 20-second countdown comes; its "挂断连接" is pressed.
    bool countdown = false;
    test::Script press([&] {
        HWND box = test::FindDialog(L"Hourlink");
        if (!box) return true;
        countdown = true;
        test::Press(box, IDOK);
        return false;
    });
    PostConnect(Hwnd(), status);
    PumpFor(300);
    EXPECT_TRUE(countdown);
    EXPECT_EQ(dial_.hungUp, std::vector<RasHandle>{0x42});
    EXPECT_NE(frame_->LogText().find(L"连接已关闭\r\n"), std::wstring::npos);
}

}  // namespace
}  // namespace hourlink
