#include "shell/dialogs/limit_popup.h"

#include "res/limits_res.h"
#include "res/resource.h"
#include "shell/dialogs/countdown_dialog.h"

namespace hourlink {

LimitPopup::LimitPopup(std::wstring text)
    : ColouredDialog(IDD_LIMIT_POPUP, kBackground, kText), text_(std::move(text)) {}

bool LimitPopup::OnInitDialog() {
    SetDlgItemTextW(Hwnd(), IDC_LIMIT_TEXT, text_.c_str());
    // The program's icon in the caption; a shared resource icon, not freed.
    icon_ = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    if (icon_) SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    // Above every window, also when the owner is not topmost.
    SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return true;
}

void ShowLimitPopup(HWND owner, const std::wstring& text) {
    LimitPopup popup(text);
    popup.DoModal(owner);
}

bool CarryOutLimitDecision(HWND owner, const LimitDecision& decision,
                           const std::function<void(DropAlarmState)>& setDropAlarm) {
    if (decision.dropAlarm && setDropAlarm) setDropAlarm(*decision.dropAlarm);
    switch (decision.action) {
        case LimitDecision::Action::kNone:
            return false;
        case LimitDecision::Action::kShowPopup:
            ShowLimitPopup(owner, decision.popupText);
            return false;
        case LimitDecision::Action::kHangUpNow:
            return true;
        case LimitDecision::Action::kConfirmHangUp: {
            HangUpCountdownDialog countdown;
            countdown.SetMessage(decision.countdownText);
            return countdown.DoModal(owner) != CountdownDialog::kCancel;
        }
    }
    return false;
}

}  // namespace hourlink
