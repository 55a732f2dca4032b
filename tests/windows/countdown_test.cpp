// The limit popup and the countdown dialogs under Wine: the countdown's end
// after its time (also when timer messages come late), Cancel and the close
// box, the dialogs' texts, the popup's colours, and how the frame carries out
// a limit decision. Screenshots of the popup and the hang-up countdown are
// saved in build/screenshots.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialog_script.h"
#include "res/limits_res.h"
#include "screenshot.h"
#include "shell/dialogs/countdown_dialog.h"
#include "shell/dialogs/limit_popup.h"
#include "shell/win/message_loop.h"

namespace hourlink {
namespace {

using test::Script;

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

int ProgressPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_COUNTDOWN_PROGRESS, PBM_GETPOS, 0, 0));
}

// --- the countdown ---

TEST(CountdownDialog, EndsWithTheActionWhenItsTimeRunsOut) {
    // Two seconds instead of twenty, on the real tick counter and timer.
    HangUpCountdownDialog dialog(2);
    std::vector<std::wstring> lines;
    Script watch([&] {
        if (HWND hwnd = dialog.Hwnd()) {
            const std::wstring line = ItemText(hwnd, IDC_COUNTDOWN_SECONDS);
            if (lines.empty() || lines.back() != line) lines.push_back(line);
        }
        return true;
    });
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(dialog.DoModal(nullptr), 1);
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_GE(took, 2000u);
    EXPECT_LT(took, 3500u);  // the last timer message at most one second late
    EXPECT_EQ(dialog.SecondsLeft(), 0);
    // Empty until the first tick, then the seconds left.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], L"");
    EXPECT_EQ(lines[1], L"即将挂断连接，还剩余1秒");
}

TEST(CountdownDialog, LateTimerMessagesDoNotStretchIt) {
    // The tick counter is the test's: it stands still unless moved. The
    // dialog's own one-second timer keeps firing but sees no time pass.
    std::uint64_t now = 1'000'000;
    ShutdownCountdownDialog dialog(20, [&now] { return now; });
    int step = 0;
    Script script([&] {
        HWND hwnd = dialog.Hwnd();
        if (!hwnd) return true;
        switch (step++) {
            case 0:
                // Nothing shown before the first tick.
                EXPECT_EQ(ItemText(hwnd, IDC_COUNTDOWN_SECONDS), L"");
                EXPECT_EQ(ProgressPosition(hwnd), 0);
                now += 3'500;
                SendMessageW(hwnd, WM_TIMER, 1, 0);
                EXPECT_EQ(ItemText(hwnd, IDC_COUNTDOWN_SECONDS), L"即将关闭计算机，还剩余17秒");
                EXPECT_EQ(ProgressPosition(hwnd), 17);
                return true;
            default:
                // The system was busy for half a minute: the one tick that
                // finally arrives ends the dialog.
                now += 30'000;
                SendMessageW(hwnd, WM_TIMER, 1, 0);
                return false;
        }
    });
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(dialog.DoModal(nullptr), 1);
    EXPECT_LT(GetTickCount64() - start, 3000u);
    EXPECT_EQ(step, 2);
    EXPECT_EQ(dialog.SecondsLeft(), 0);
}

TEST(CountdownDialog, CancelAndTheCloseBoxEndItWithTwo) {
    auto runWith = [](std::function<void(HWND)> act) {
        HangUpCountdownDialog dialog;
        Script script([&] {
            if (!dialog.Hwnd() || !IsWindowVisible(dialog.Hwnd())) return true;
            act(dialog.Hwnd());
            return false;
        });
        const ULONGLONG start = GetTickCount64();
        const INT_PTR result = dialog.DoModal(nullptr);
        EXPECT_LT(GetTickCount64() - start, 5000u);  // at once, not after 20 s
        return result;
    };
    EXPECT_EQ(runWith([](HWND h) { SendMessageW(GetDlgItem(h, IDCANCEL), BM_CLICK, 0, 0); }), 2);
    EXPECT_EQ(runWith([](HWND h) { SendMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }), 2);
    EXPECT_EQ(runWith([](HWND h) { SendMessageW(GetDlgItem(h, IDOK), BM_CLICK, 0, 0); }), 1);
}

TEST(CountdownDialog, HangUpAndShutdownTexts) {
    HangUpCountdownDialog hangUp;
    ASSERT_TRUE(hangUp.CreateModeless(nullptr));
    HWND h = hangUp.Hwnd();
    EXPECT_EQ(WindowText(h), L"Hourlink");
    EXPECT_EQ(ItemText(h, IDC_COUNTDOWN_MESSAGE),
              L"你现在上网时间满足了你所设置的提醒条件！\n"
              L"如果你不做出任何动作本窗口会在20秒钟后自动断开连接。");
    EXPECT_EQ(ItemText(h, IDOK), L"挂断连接");
    EXPECT_EQ(ItemText(h, IDCANCEL), L"取消");
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(h, IDOK), GWL_STYLE) & BS_DEFPUSHBUTTON);
    PBRANGE range{};
    SendDlgItemMessageW(h, IDC_COUNTDOWN_PROGRESS, PBM_GETRANGE, FALSE,
                        reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 20);
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(h, IDC_COUNTDOWN_PROGRESS), GWL_STYLE) & PBS_SMOOTH);
    EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
    hangUp.End(IDCANCEL);

    ShutdownCountdownDialog shutdown;
    ASSERT_TRUE(shutdown.CreateModeless(nullptr));
    h = shutdown.Hwnd();
    EXPECT_EQ(WindowText(h), L"Hourlink");
    EXPECT_EQ(ItemText(h, IDC_COUNTDOWN_MESSAGE),
              L"现在满足了你所设置的关机条件！\n如果你不做出任何动作将在20秒钟后自动关闭计算机。");
    EXPECT_EQ(ItemText(h, IDOK), L"关机");
    EXPECT_EQ(ItemText(h, IDCANCEL), L"取消");
    EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
    shutdown.End(IDCANCEL);
}

// --- the limit popup ---

struct ColourAnswer {
    HBRUSH brush;
    COLORREF text;
    int mode;
};

ColourAnswer AskColour(HWND dialog, UINT msg, HWND control) {
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkMode(dc, OPAQUE);
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(dialog, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
    ColourAnswer answer{brush, GetTextColor(dc), GetBkMode(dc)};
    DeleteDC(dc);
    return answer;
}

COLORREF BrushColour(HBRUSH brush) {
    LOGBRUSH lb{};
    if (GetObjectW(brush, sizeof lb, &lb) != sizeof lb || lb.lbStyle != BS_SOLID) {
        return CLR_INVALID;
    }
    return lb.lbColor;
}

TEST(LimitPopup, WhiteTextOnBlueAboveEveryWindow) {
    LimitPopup popup(LimitMonitor::MonthPopupText(60));
    ASSERT_TRUE(popup.CreateModeless(nullptr));
    HWND h = popup.Hwnd();
    EXPECT_EQ(WindowText(h), L"Hourlink");
    EXPECT_EQ(ItemText(h, IDC_LIMIT_TEXT), L"时间超过设定值60小时");
    EXPECT_EQ(ItemText(h, IDOK), L"确定");
    EXPECT_EQ(GetDlgItem(h, IDCANCEL), nullptr);
    EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(SendMessageW(h, WM_GETICON, ICON_SMALL, 0), 0);

    const ColourAnswer dialog = AskColour(h, WM_CTLCOLORDLG, h);
    ASSERT_NE(dialog.brush, nullptr);
    EXPECT_EQ(BrushColour(dialog.brush), RGB(0x33, 0x66, 0xCC));
    const ColourAnswer text = AskColour(h, WM_CTLCOLORSTATIC, GetDlgItem(h, IDC_LIMIT_TEXT));
    EXPECT_EQ(text.brush, dialog.brush);
    EXPECT_EQ(text.text, RGB(255, 255, 255));
    EXPECT_EQ(text.mode, TRANSPARENT);

    // The brush goes with the dialog.
    const HBRUSH brush = dialog.brush;
    popup.End(IDOK);
    EXPECT_EQ(GetObjectType(brush), 0u);
}

TEST(LimitPopup, FrameCarriesOutDecisions) {
    std::vector<DropAlarmState> states;
    auto record = [&states](DropAlarmState s) { states.push_back(s); };

    // Locked: hang up at once, no dialog.
    LimitDecision now;
    now.action = LimitDecision::Action::kHangUpNow;
    EXPECT_TRUE(CarryOutLimitDecision(nullptr, now, record));

    // Only the drop window changes.
    LimitDecision quiet;
    quiet.dropAlarm = DropAlarmState::kDay;
    EXPECT_FALSE(CarryOutLimitDecision(nullptr, quiet, record));
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0], DropAlarmState::kDay);

    // The popup: the drop window has its state before the popup opens.
    LimitDecision popup;
    popup.action = LimitDecision::Action::kShowPopup;
    popup.popupText = LimitMonitor::DayPopupText(5);
    popup.dropAlarm = DropAlarmState::kMonth;
    std::wstring shown;
    {
        Script click([&] {
            HWND h = FindWindowW(L"#32770", L"Hourlink");
            if (!h || !IsWindowVisible(h)) return true;
            EXPECT_EQ(states.back(), DropAlarmState::kMonth);
            shown = ItemText(h, IDC_LIMIT_TEXT);
            SendMessageW(GetDlgItem(h, IDOK), BM_CLICK, 0, 0);
            return false;
        });
        EXPECT_FALSE(CarryOutLimitDecision(nullptr, popup, record));
    }
    EXPECT_EQ(shown, L"时间超过每天设定值5小时");

    // The countdown: Cancel keeps the connection, the action button drops it.
    LimitDecision confirm;
    confirm.action = LimitDecision::Action::kConfirmHangUp;
    for (int button : {IDCANCEL, IDOK}) {
        Script click([&] {
            HWND h = FindWindowW(L"#32770", L"Hourlink");
            if (!h || !IsWindowVisible(h)) return true;
            SendMessageW(GetDlgItem(h, button), BM_CLICK, 0, 0);
            return false;
        });
        EXPECT_EQ(CarryOutLimitDecision(nullptr, confirm, record), button == IDOK) << button;
    }
}

// --- screenshots ---

// The pixels the window draws, above every other window, saved as `name`.png.
std::vector<std::uint32_t> Capture(HWND hwnd, const char* name) {
    const test::AboveAll above(hwnd);
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    for (int i = 0; i < 10; ++i) {
        win::MessageLoop().RunPending();
        Sleep(50);
    }
    test::WindowPixels shot = test::CaptureOwnPixels(hwnd);
    const std::string path = test::ScreenshotPath(name);
    EXPECT_TRUE(test::SavePng(shot, path)) << path;
    return std::move(shot.pixels);
}

TEST(Screenshots, LimitPopupAndHangUpCountdown) {
    LimitPopup popup(LimitMonitor::MonthPopupText(60));
    ASSERT_TRUE(popup.CreateModeless(nullptr));
    ShowWindow(popup.Hwnd(), SW_SHOW);
    // Much of the window is the popup's blue, once it is painted: on a loaded
    // machine that may take a while.
    std::vector<std::uint32_t> pixels;
    std::size_t blue = 0;
    for (int look = 0; look < 10 && blue <= pixels.size() / 3; ++look) {
        pixels = Capture(popup.Hwnd(), "limit_popup");
        blue = 0;
        for (std::uint32_t c : pixels) blue += (c & 0xFFFFFF) == 0x3366CC;
    }
    EXPECT_GT(blue, pixels.size() / 3);
    popup.End(IDOK);

    std::uint64_t now = 0;
    HangUpCountdownDialog countdown(20, [&now] { return now; });
    ASSERT_TRUE(countdown.CreateModeless(nullptr));
    ShowWindow(countdown.Hwnd(), SW_SHOW);
    now = 7'200;
    SendMessageW(countdown.Hwnd(), WM_TIMER, 1, 0);
    Capture(countdown.Hwnd(), "hangup_countdown");
    countdown.End(IDCANCEL);
}

}  // namespace
}  // namespace hourlink
