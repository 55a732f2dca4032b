// The UI thread's message loop: keyboard navigation for modeless dialogs and one
// accelerator table, then translate and dispatch.
#pragma once

#include <windows.h>

namespace hourlink::win {

class MessageLoop {
  public:
    // A modeless dialog (the drop window, the ping tool) gets its keyboard
    // navigation through IsDialogMessage while registered. Per thread.
    static void AddModeless(HWND dialog);
    static void RemoveModeless(HWND dialog);

    // Accelerators translated for `target` (the main frame); null to stop.
    void SetAccelerators(HWND target, HACCEL table) {
        accelTarget_ = target;
        accelTable_ = table;
    }

    // Runs until WM_QUIT and returns its exit code.
    int Run();

    // Handles every message already queued, then returns: for tests that drive
    // windows in-process. False when WM_QUIT was among them (it is posted again so
    // an outer loop still sees it).
    bool RunPending();

  private:
    bool PreTranslate(MSG& msg) const;

    HWND accelTarget_ = nullptr;
    HACCEL accelTable_ = nullptr;
};

}  // namespace hourlink::win
