#include "shell/win/message_loop.h"

#include <algorithm>
#include <vector>

namespace hourlink::win {

namespace {

std::vector<HWND>& Modeless() {
    thread_local std::vector<HWND> dialogs;
    return dialogs;
}

}  // namespace

void MessageLoop::AddModeless(HWND dialog) {
    auto& dialogs = Modeless();
    if (dialog && std::find(dialogs.begin(), dialogs.end(), dialog) == dialogs.end()) {
        dialogs.push_back(dialog);
    }
}

void MessageLoop::RemoveModeless(HWND dialog) {
    std::erase(Modeless(), dialog);
}

bool MessageLoop::PreTranslate(MSG& msg) const {
    if (accelTable_ && accelTarget_ &&
        (msg.hwnd == accelTarget_ || IsChild(accelTarget_, msg.hwnd)) &&
        TranslateAcceleratorW(accelTarget_, accelTable_, &msg)) {
        return true;
    }
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        for (HWND dialog : Modeless()) {
            if (IsWindow(dialog) && IsDialogMessageW(dialog, &msg)) return true;
        }
    }
    return false;
}

int MessageLoop::Run() {
    MSG msg{};
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return -1;
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool MessageLoop::RunPending() {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace hourlink::win
