#include "shell/dialogs/countdown_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "res/limits_res.h"

namespace hourlink {

CountdownDialog::CountdownDialog(UINT templateId, const wchar_t* secondsFormat,
                                 bool bringToForeground, int seconds, TickSource ticks)
    : Dialog(templateId),
      secondsFormat_(secondsFormat),
      bringToForeground_(bringToForeground),
      seconds_(std::max(seconds, 0)),
      ticks_(ticks ? std::move(ticks) : TickSource([] { return GetTickCount64(); })) {
    // The progress bar's window class.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
}

CountdownDialog::~CountdownDialog() {
    Destroy();  // a modeless one still open: its timer goes with it
}

bool CountdownDialog::OnInitDialog() {
    if (!message_.empty()) SetDlgItemTextW(Hwnd(), IDC_COUNTDOWN_MESSAGE, message_.c_str());
    if (bringToForeground_) SetForegroundWindow(Hwnd());
    // A background program is often refused the foreground: the caption and
    // the taskbar flash until the user looks.
    FLASHWINFO flash{sizeof flash, Hwnd(), FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
    SendDlgItemMessageW(Hwnd(), IDC_COUNTDOWN_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, seconds_));
    openedAt_ = ticks_();
    // The seconds line stays empty and the bar at 0 until the first tick.
    timer_ = SetTimer(Hwnd(), kTimerId, 1000, nullptr);
    return true;
}

LRESULT CountdownDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            if (wp == kTimerId) {
                OnTimer();
                return TRUE;
            }
            break;
        case WM_DESTROY:
            if (timer_) {
                KillTimer(Hwnd(), timer_);
                timer_ = 0;
            }
            break;
    }
    return Dialog::WndProc(msg, wp, lp);
}

void CountdownDialog::OnTimer() {
    if (!timer_) return;  // already ending
    const std::uint64_t elapsedMs = ticks_() - openedAt_;
    const std::uint64_t elapsed = elapsedMs / 1000;
    const int left =
        elapsed >= static_cast<std::uint64_t>(seconds_) ? 0 : seconds_ - static_cast<int>(elapsed);
    secondsLeft_ = left;
    SendDlgItemMessageW(Hwnd(), IDC_COUNTDOWN_PROGRESS, PBM_SETPOS, left, 0);
    wchar_t text[128];
    std::swprintf(text, 128, secondsFormat_, left);
    SetDlgItemTextW(Hwnd(), IDC_COUNTDOWN_SECONDS, text);
    if (left == 0) {
        KillTimer(Hwnd(), timer_);
        timer_ = 0;
        End(kAct);
    }
}

HangUpCountdownDialog::HangUpCountdownDialog(int seconds, TickSource ticks)
    : CountdownDialog(IDD_HANGUP_COUNTDOWN, L"即将挂断连接，还剩余%d秒", true, seconds,
                      std::move(ticks)) {}

ShutdownCountdownDialog::ShutdownCountdownDialog(int seconds, TickSource ticks)
    : CountdownDialog(IDD_SHUTDOWN_COUNTDOWN, L"即将关闭计算机，还剩余%d秒", false, seconds,
                      std::move(ticks)) {}

}  // namespace hourlink
