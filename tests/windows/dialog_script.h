// Driving modal dialogs from the test's own thread: a script that a thread
// timer runs from inside whatever modal loop is running, and the small steps
// such scripts take.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <utility>

namespace hourlink::test {

// Calls `step` every 50 ms from whatever modal loop runs, until it returns
// false. After 20 s it fails and cancels this thread's dialogs, so a dialog
// that never shows what is expected cannot hang the run.
class Script {
  public:
    explicit Script(std::function<bool()> step) : step_(std::move(step)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 50, &Script::OnTimer);
    }
    ~Script() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        Script* self = current_;
        if (!self || self->busy_ || self->done_) return;
        self->busy_ = true;
        if (GetTickCount64() > self->deadline_) {
            ADD_FAILURE() << "the script timed out";
            EnumThreadWindows(
                GetCurrentThreadId(),
                [](HWND hwnd, LPARAM) { return PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0); }, 0);
            self->done_ = true;
        } else {
            self->done_ = !self->step_();
        }
        self->busy_ = false;
    }

    static inline Script* current_ = nullptr;
    std::function<bool()> step_;
    ULONGLONG deadline_ = GetTickCount64() + 20000;
    UINT_PTR timer_ = 0;
    bool busy_ = false;
    bool done_ = false;
};

// This process's visible dialog with `caption`.
inline HWND FindDialog(const wchar_t* caption) {
    HWND hwnd = FindWindowW(L"#32770", caption);
    DWORD process = 0;
    if (hwnd) GetWindowThreadProcessId(hwnd, &process);
    return process == GetCurrentProcessId() && IsWindowVisible(hwnd) ? hwnd : nullptr;
}

// Posted, so that a modal loop the button opens does not run inside the script.
inline void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace hourlink::test
