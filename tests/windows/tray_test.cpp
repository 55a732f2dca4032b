// The tray icon on the virtual desktop's task bar, the floating drop window
// and the device tree, with a stand-in for the frame. Screenshots (in
// build/screenshots): tray_offline, tray_online, tray_menu, drop_window_normal,
// drop_window_alarm, drop_window_rose, device_tree_online.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "res/drop_window_res.h"
#include "res/main_window_res.h"
#include "res/resource.h"
#include "shell/frame/frame_messages.h"
#include "shell/platform/phonebook_editor.h"
#include "shell/views/drop_window.h"
#include "shell/views/enum_view.h"
#include "shell/widgets/tray_icon.h"
#include "shell/win/message_loop.h"
#include "shell/win/text.h"

#include "../native/fake_network.h"
#include "dialog_script.h"
#include "screenshot.h"

namespace hourlink {
namespace {

void PumpFor(DWORD ms) {
    const DWORD begin = GetTickCount();
    do {
        win::MessageLoop().RunPending();
        Sleep(20);
    } while (GetTickCount() - begin < ms);
}

// The frame's part: tray notifications, the shell's restart, menu updates;
// records the commands and close requests the tray icon and drop window report.
class TestFrame : public win::Window {
  public:
    bool Open() {
        win::CreateArgs args;
        args.title = L"Hourlink";
        args.x = args.y = 0;
        args.width = 300;
        args.height = 360;
        tray.OnCommand([this](UINT id) { commands.push_back(id); });
        return Create({.name = L"HourlinkTrayTestFrame"}, args);
    }
    CDropWindow::Reports DropReports() {
        return {.command = [this](UINT id) { commands.push_back(id); },
                .menuOpening = [this](HMENU menu) { drop.UpdateMenu(menu); },
                .closeRequested = [this] { ++closes; }};
    }
    widgets::CTrayIcon tray;
    CDropWindow drop;
    std::vector<UINT> commands;
    int closes = 0;

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == widgets::CTrayIcon::TaskbarCreatedMessage()) return tray.OnTaskbarCreated();
        switch (msg) {
            case WM_TRAY_NOTIFY:
                return tray.OnTrayNotification(wp, lp);
            case WM_INITMENUPOPUP:
                drop.UpdateMenu(reinterpret_cast<HMENU>(wp));
                return 0;
        }
        return Window::WndProc(msg, wp, lp);
    }
};

// The shell's record of the frame's icon, with nothing to change.
NOTIFYICONDATAW IconOf(HWND owner) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = IDR_TRAY_MENU;
    return data;
}

// Whether the shell has the icon: changing nothing succeeds only then.
bool ShellHasIcon(HWND owner) {
    NOTIFYICONDATAW probe = IconOf(owner);
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

// The notification area (the task bar's right end) saved as `name`; the
// number of its pixels near `colour` (0xRRGGBB).
int TrayPixelsNear(const char* name, std::uint32_t colour) {
    PumpFor(300);
    RECT r{};
    GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &r);
    const test::WindowPixels shot =
        test::CaptureScreen({r.right - 240, r.top - 40, r.right, r.bottom});
    EXPECT_TRUE(test::SavePng(shot, test::ScreenshotPath(name)));
    int n = 0;
    for (std::uint32_t p : shot.pixels) {
        int distance = 0;
        for (int s : {0, 8, 16}) distance += std::abs(int(p >> s & 0xFF) - int(colour >> s & 0xFF));
        n += distance < 120 ? 1 : 0;
    }
    return n;
}

// The texts of the popup menu open now; then it is closed. `inspect` sees it
// while it is open.
std::vector<std::wstring> ReadOpenMenu(const std::function<void()>& open,
                                       const std::function<void(HMENU)>& inspect = {}) {
    std::vector<std::wstring> items;
    test::Script script([&] {
        HWND window = FindWindowW(L"#32768", nullptr);
        if (!window || !IsWindowVisible(window)) return true;
        auto menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            items.emplace_back(text);
        }
        if (inspect) inspect(menu);
        EndMenu();
        return false;
    });
    open();
    return items;
}

class TrayTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(frame_.Open()); }
    HICON Icon(int id) {
        return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                             IMAGE_ICON, 16, 16, LR_SHARED));
    }
    // A mouse event on icon `id` as the shell sends it in the format the icon
    // asked for: the newer one follows a right button's release with its
    // context-menu event.
    bool Notify(UINT id, UINT event) {
        if (tray_.Version() < NOTIFYICON_VERSION_4) return tray_.OnTrayNotification(id, event);
        const bool handled = tray_.OnTrayNotification(0, MAKELPARAM(event, id));
        if (event != WM_RBUTTONUP) return handled;
        return tray_.OnTrayNotification(0, MAKELPARAM(WM_CONTEXTMENU, id));
    }
    MemorySettingsStore settings_;  // outlives the drop window, which saves at its end
    TestFrame frame_;
    widgets::CTrayIcon& tray_ = frame_.tray;
};

TEST_F(TrayTest, IconShowsTheStateAndComesBackWhenTheShellRestarts) {
    ASSERT_TRUE(tray_.Create(frame_.Hwnd(), WM_TRAY_NOTIFY, L"", Icon(IDI_OFFLINE), IDR_TRAY_MENU));
    EXPECT_TRUE(ShellHasIcon(frame_.Hwnd()));
    const int redOffline = TrayPixelsNear("tray_offline", 0xE02020);
    EXPECT_GT(redOffline, 4) << "no red lamp";
    tray_.SetIcon(static_cast<UINT>(IDI_ONLINE));
    EXPECT_GT(TrayPixelsNear("tray_online", 0x20C040), 4) << "no green lamp";

    // A tip longer than the shell's buffer is cut, never copied past it.
    tray_.SetTooltipText(std::wstring(300, L'时'));
    EXPECT_EQ(tray_.TooltipText(), std::wstring(127, L'时'));

    // The shell loses its icons (Explorer restarted); its broadcast brings
    // ours back, green, with the tip.
    const HICON green = tray_.Icon();
    NOTIFYICONDATAW gone = IconOf(frame_.Hwnd());
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
    EXPECT_FALSE(ShellHasIcon(frame_.Hwnd()));
    SendMessageW(frame_.Hwnd(), widgets::CTrayIcon::TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(ShellHasIcon(frame_.Hwnd()));
    EXPECT_EQ(tray_.Icon(), green);
    EXPECT_EQ(tray_.TooltipText(), std::wstring(127, L'时'));

    tray_.Remove();  // removed stays removed
    SendMessageW(frame_.Hwnd(), widgets::CTrayIcon::TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(ShellHasIcon(frame_.Hwnd()));
}

TEST_F(TrayTest, LeftClickRunsTheSecondItemRightClickOpensTheMenu) {
    ASSERT_TRUE(frame_.drop.Create(frame_.Hwnd(), settings_, frame_.DropReports()));
    ASSERT_TRUE(tray_.Create(frame_.Hwnd(), WM_TRAY_NOTIFY, L"", Icon(IDI_OFFLINE), IDR_TRAY_MENU));
    EXPECT_FALSE(Notify(131, WM_LBUTTONDOWN));  // another icon's
    Notify(IDR_TRAY_MENU, WM_LBUTTONDOWN);
    EXPECT_EQ(frame_.commands, std::vector<UINT>{ID_SHOW_MAIN_WINDOW});

    frame_.drop.SetTheme(32803);
    UINT bold = 0;
    bool roseChecked = false, normalChecked = true;
    HWND foreground = nullptr;
    const auto items =
        ReadOpenMenu([&] { Notify(IDR_TRAY_MENU, WM_RBUTTONUP); },
                     [&](HMENU menu) {
                         bold = GetMenuDefaultItem(menu, FALSE, 0);
                         roseChecked = GetMenuState(menu, 32803, MF_BYCOMMAND) & MF_CHECKED;
                         normalChecked = GetMenuState(menu, 32797, MF_BYCOMMAND) & MF_CHECKED;
                         foreground = GetForegroundWindow();
                         const test::WindowPixels shot = test::CaptureScreen({0, 384, 1024, 768});
                         EXPECT_TRUE(test::SavePng(shot, test::ScreenshotPath("tray_menu")));
                     });
    EXPECT_EQ(items, (std::vector<std::wstring>{L"显示拖放窗口(&V)", L"显示主窗口", L"连接...",
                                                L"挂断", L"拖放窗口半透明显示", L"背景主题"}));
    EXPECT_EQ(bold, static_cast<UINT>(ID_SHOW_DROP_WINDOW));
    EXPECT_TRUE(roseChecked);
    EXPECT_FALSE(normalChecked);
    // Its owner in front, so that Esc or a click elsewhere closes it.
    EXPECT_EQ(foreground, frame_.Hwnd());
}

// Real mouse input, sent from another thread: a press on the drop window
// starts a modal move loop on this one, which then takes the rest.
void SendMouse(std::vector<std::pair<DWORD, POINT>> steps) {
    std::atomic<bool> done = false;
    std::thread mouse([&] {
        for (const auto& [flags, at] : steps) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = flags | (flags == MOUSEEVENTF_MOVE ? MOUSEEVENTF_ABSOLUTE : 0);
            input.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
            input.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
            SendInput(1, &input, sizeof input);
            Sleep(60);
        }
        done = true;
    });
    while (!done) PumpFor(20);
    mouse.join();
    PumpFor(200);
}

class DropWindowTest : public TrayTest {
  protected:
    bool Open(int left, int top) {
        WriteWindowPlacement(settings_, settings::kDragDlg, {1, top, left, top + 50, left + 125});
        return drop_.Create(frame_.Hwnd(), settings_, frame_.DropReports());
    }
    // Each label's text colour and background, as the window paints them.
    void ExpectColours(COLORREF text, COLORREF background) {
        HDC dc = GetDC(drop_.Hwnd());
        for (HWND l = GetWindow(drop_.Hwnd(), GW_CHILD); l; l = GetWindow(l, GW_HWNDNEXT)) {
            LOGBRUSH brush{};
            GetObjectW(reinterpret_cast<HBRUSH>(SendMessageW(drop_.Hwnd(), WM_CTLCOLORSTATIC,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(l))),
                       sizeof brush, &brush);
            EXPECT_EQ(GetTextColor(dc), text);
            EXPECT_EQ(brush.lbColor, background);
        }
        ReleaseDC(drop_.Hwnd(), dc);
    }
    HBRUSH Brush() { return HBRUSH(SendMessageW(drop_.Hwnd(), WM_CTLCOLORDLG, 0, 0)); }
    void Shoot(const char* name) {
        drop_.SetVisible(true);
        PumpFor(200);
        EXPECT_TRUE(test::SavePng(test::CaptureWindow(drop_.Hwnd()), test::ScreenshotPath(name)));
    }
    POINT Centre(int id) {
        RECT r{};
        GetWindowRect(GetDlgItem(drop_.Hwnd(), id), &r);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    CDropWindow& drop_ = frame_.drop;
};

TEST_F(DropWindowTest, ThemesAndLimitsColourEveryLabelAndOldBrushesAreFreed) {
    ASSERT_TRUE(Open(400, 200));
    drop_.SetMonthTime(L"59:58:07");
    drop_.SetSessionTime(L"1:02:03");
    drop_.SetRates(L"12.34", L"0.56");
    EXPECT_EQ(drop_.ItemText(IDC_DROP_UPLOAD), L"0.56");
    ExpectColours(RGB(0, 255, 0), RGB(0, 0, 0));  // every start: black and green
    Shoot("drop_window_normal");
    drop_.SetAlarm(DropAlarmState::kMonth);
    ExpectColours(RGB(255, 0, 0), RGB(0, 0, 0));
    Shoot("drop_window_alarm");

    const HBRUSH black = Brush();
    ASSERT_TRUE(drop_.SetTheme(32803));
    EXPECT_EQ(GetObjectType(black), 0u) << "the replaced brush is not freed";
    drop_.SetAlarm(DropAlarmState::kNone);
    ExpectColours(RGB(0, 255, 255), RGB(255, 102, 102));
    Shoot("drop_window_rose");
    const HBRUSH rose = Brush();
    drop_.Destroy();
    EXPECT_EQ(GetObjectType(rose), 0u) << "the brush outlives the window";
}

TEST_F(DropWindowTest, MadeAtItsFirstShowWithTheTextsColoursAndPlaceGivenBefore) {
    WriteWindowPlacement(settings_, settings::kDragDlg, {1, 300, 200, 350, 325});
    drop_.Prepare(frame_.Hwnd(), settings_, frame_.DropReports());
    drop_.SetMonthTime(L"59:58:07");
    drop_.SetRates(L"12.34", L"0.56");
    drop_.SetTheme(32803);
    drop_.SetAlarm(DropAlarmState::kMonth);
    drop_.SetTranslucent(true);
    ASSERT_EQ(drop_.Hwnd(), nullptr);
    drop_.SetVisible(true);
    ASSERT_TRUE(drop_.IsVisible());
    EXPECT_EQ(drop_.ItemText(IDC_DROP_MONTH), L"59:58:07");
    EXPECT_EQ(drop_.ItemText(IDC_DROP_UPLOAD), L"0.56");
    ExpectColours(RGB(255, 0, 0), RGB(255, 102, 102));
    EXPECT_TRUE(GetWindowLongPtrW(drop_.Hwnd(), GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT r{};
    GetWindowRect(drop_.Hwnd(), &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 300);
}

TEST_F(DropWindowTest, TranslucentFromTheSettingWithAlpha100AndOpaqueWhenOff) {
    WriteSetting(settings_, settings::kTranWindow, 1);
    ASSERT_TRUE(Open(200, 300));
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(drop_.Hwnd(), nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 100);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
    for (int i = 0; i < 2; ++i) drop_.SetTranslucent(false);  // off twice stays off
    const LONG_PTR ex = GetWindowLongPtrW(drop_.Hwnd(), GWL_EXSTYLE);
    EXPECT_FALSE(ex & WS_EX_LAYERED);
    EXPECT_TRUE((ex & WS_EX_TOPMOST) && (ex & WS_EX_TOOLWINDOW));
}

TEST_F(DropWindowTest, DraggedByALabelItsPlaceIsSavedAndLostPlacesComeBack) {
    ASSERT_TRUE(Open(5000, 300));  // beyond the right edge
    RECT r{};
    GetWindowRect(drop_.Hwnd(), &r);
    EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) - GetSystemMetrics(SM_CXICON));
    drop_.Destroy();

    ASSERT_TRUE(Open(200, 300));
    drop_.SetVisible(true);
    PumpFor(100);
    const POINT from = Centre(IDC_DROP_MONTH);
    std::vector<std::pair<DWORD, POINT>> drag{{MOUSEEVENTF_MOVE, from}, {MOUSEEVENTF_LEFTDOWN, {}}};
    for (int i = 1; i <= 5; ++i)
        drag.push_back({MOUSEEVENTF_MOVE, {from.x + 24 * i, from.y + 12 * i}});
    drag.push_back({MOUSEEVENTF_LEFTUP, {}});
    SendMouse(drag);
    drop_.SavePlacement();
    GetWindowRect(drop_.Hwnd(), &r);
    EXPECT_EQ(r.left, 320);
    EXPECT_EQ(r.top, 360);
    EXPECT_EQ(ReadWindowPlacement(settings_, settings::kDragDlg)->left, 320);
    EXPECT_EQ(ReadWindowPlacement(settings_, settings::kDragDlg)->bottom, r.bottom);

    // A double click shows the main window; Alt+F4 asks the frame to close,
    // and Esc does not close the window itself.
    const POINT at = Centre(IDC_DROP_SESSION);
    SendMouse({{MOUSEEVENTF_MOVE, at},
               {MOUSEEVENTF_LEFTDOWN, {}},
               {MOUSEEVENTF_LEFTUP, {}},
               {MOUSEEVENTF_LEFTDOWN, {}},
               {MOUSEEVENTF_LEFTUP, {}}});
    SendMessageW(drop_.Hwnd(), WM_CLOSE, 0, 0);
    SendMessageW(drop_.Hwnd(), WM_COMMAND, IDCANCEL, 0);
    PumpFor(50);
    EXPECT_EQ(frame_.commands, std::vector<UINT>{ID_SHOW_MAIN_WINDOW});
    EXPECT_EQ(frame_.closes, 1);
    EXPECT_TRUE(IsWindowVisible(drop_.Hwnd()));
}

TEST_F(TrayTest, DeviceTreeGroupsAFakePhonebookAndMarksTheEntryOfTheConnection) {
    test::FakeNetwork net;
    SilentNotifier notifier;
    ManualClock clock{1'700'000'000};
    NetworkInfo info{net, notifier, clock};
    const auto gbk = [](std::wstring_view text) { return win::WideToGbk(text); };
    net.parameters.hostName = "HOME-PC";
    net.entries = {{gbk(L"宽带(家)"), "PPPoE", "WAN Miniport (PPPOE)", ""},
                   {gbk(L"拨号"), "modem", "Standard 56K", ""},
                   {gbk(L"公司VPN"), "vpn", "WAN Miniport (PPTP)", ""},
                   {"IR", "irda", "Infrared", ""},
                   {"LPT", "parallel", "LPT1", ""},
                   {gbk(L"宽带(家)2"), "PPPoE", "WAN Miniport (PPPOE)", ""}};
    net.adapters = {{6, "NTS PPPoE Adapter", "61.1.2.3", 0, ""}};
    CEnumView tree;
    std::vector<std::wstring> filters;
    CEnumView::Args args;
    args.parent = frame_.Hwnd();
    args.id = 0xE900;
    args.devices = ProbeDevices(info);
    args.selectionChanged = [&](std::wstring_view text) { filters.emplace_back(text); };
    ASSERT_TRUE(tree.Create(std::move(args)));
    MoveWindow(tree.Hwnd(), 0, 0, 280, 320, TRUE);
    frame_.Show(SW_SHOW);

    // Every item's text and picture, depth first.
    std::wstring shown;
    for (HTREEITEM i = tree.Root(); i; i = TreeView_GetNextItem(tree.Hwnd(), i, TVGN_NEXTVISIBLE)) {
        shown += tree.ItemText(i) + L"/" + std::to_wstring(tree.ItemImage(i)) + L" ";
    }
    EXPECT_EQ(shown,
              L"HOME-PC计算机上网设备列表/9 拨号及ISDN上网/0 拨号(Standard 56K)/5 ADSL上网/1 "
              L"宽带(家)(WAN Miniport (PPPOE))/5 宽带(家)2(WAN Miniport (PPPOE))/5 "
              L"NTS PPPoE Adapter/5 虚拟专用网/1 公司VPN(WAN Miniport (PPTP))/5 其它方式/1 "
              L"IR(Infrared)/5 LPT(LPT1)/5 ");

    // Selecting: the history list filters by the whole text; the dialer and
    // the editor use the entry's own name.
    const auto& entries = tree.EntryItems();
    tree.Select(entries[6]);
    EXPECT_EQ(tree.SelectedEntry(), L"NTS PPPoE Adapter");
    EXPECT_FALSE(tree.CanEditSelectedEntry());
    tree.Select(tree.Group(DeviceGroup::kBroadband));
    EXPECT_EQ(tree.SelectedEntry(), L"");
    tree.Select(entries[0]);
    EXPECT_EQ(tree.SelectedEntry(), L"宽带(家)");
    EXPECT_TRUE(tree.CanEditSelectedEntry());
    EXPECT_EQ(filters, (std::vector<std::wstring>{L"NTS PPPoE Adapter", L"ADSL上网",
                                                  L"宽带(家)(WAN Miniport (PPPOE))"}));
    EXPECT_EQ(tree.SelectionChanges(), 3);

    tree.MarkConnection(L"宽带(家)");  // not "宽带(家)2", whose text holds it too
    EXPECT_EQ(tree.ItemImage(entries[0]), 2);
    EXPECT_EQ(tree.ItemImage(entries[5]), 5);
    EXPECT_EQ(tree.ItemImage(entries[1]), 5);
    EXPECT_EQ(tree.OnlineEntry(), L"宽带(家)");
    PumpFor(100);
    EXPECT_TRUE(test::SavePng(test::CaptureWindow(tree.Hwnd()),
                              test::ScreenshotPath("device_tree_online")));
    tree.MarkConnection(L"END");
    for (HTREEITEM item : entries) EXPECT_EQ(tree.ItemImage(item), 5);
}

TEST(PhonebookEditor, RefusesNamesRasCannotHoldAndComesBackFromWinesStub) {
    EXPECT_FALSE(EditPhonebookEntry(nullptr, ""));
    EXPECT_FALSE(EditPhonebookEntry(nullptr, std::string(300, 'x')));
    EditPhonebookEntry(nullptr, win::WideToGbk(L"宽带(家)"));  // Wine's does nothing
}

}  // namespace
}  // namespace hourlink
