// The alarm of the time limits: dialog 151, white text on blue above every
// other window; and the frame's way of carrying out a limit decision.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/accounting/limits.h"
#include "shell/win/dialog.h"

namespace hourlink {

class LimitPopup : public win::ColouredDialog {
  public:
    static constexpr COLORREF kBackground = RGB(0x33, 0x66, 0xCC);
    static constexpr COLORREF kText = RGB(255, 255, 255);

    explicit LimitPopup(std::wstring text);

  protected:
    bool OnInitDialog() override;

  private:
    std::wstring text_;
    HICON icon_ = nullptr;
};

// Shows the popup modally over `owner` with `text`.
void ShowLimitPopup(HWND owner, const std::wstring& text);

// Carries out a decision of the limit checks: passes the drop window its new
// alarm state first (the popup is modal, and the ticks that arrive while it is
// open must already see the state), then shows the popup or the hang-up
// countdown. Returns true when the connection is to be hung up now: at once
// while the program is locked, or when the countdown was confirmed or ran out.
bool CarryOutLimitDecision(HWND owner, const LimitDecision& decision,
                           const std::function<void(DropAlarmState)>& setDropAlarm);

}  // namespace hourlink
