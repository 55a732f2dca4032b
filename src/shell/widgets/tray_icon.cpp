#include "shell/widgets/tray_icon.h"

#include "core/ui/tray_rules.h"
#include "shell/win/system_library.h"

namespace hourlink::widgets {

namespace {

// The popup of the tray menu, with the menu that holds it; freed when done,
// so a click costs no USER objects.
class TrayMenu {
  public:
    explicit TrayMenu(UINT id)
        : menu_(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id))) {}
    ~TrayMenu() {
        if (menu_) DestroyMenu(menu_);
    }
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;
    HMENU Popup() const { return menu_ ? GetSubMenu(menu_, 0) : nullptr; }

  private:
    HMENU menu_;
};

// The shell's notification call, looked up when the first icon is put up: the
// shell's DLL is not loaded before the main window is on the screen.
BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) {
    static const auto notify =
        win::SystemFunction<decltype(&Shell_NotifyIconW)>(L"shell32.dll", "Shell_NotifyIconW");
    return notify ? notify(message, data) : FALSE;
}

}  // namespace

CTrayIcon::~CTrayIcon() {
    Remove();
}

bool CTrayIcon::Create(HWND owner, UINT callbackMessage, std::wstring_view tip, HICON icon,
                       UINT id) {
    if (created_ || !IsWindow(owner)) return false;
    data_.cbSize = sizeof data_;
    data_.hWnd = owner;
    data_.uID = id;
    data_.uCallbackMessage = callbackMessage;
    data_.hIcon = icon;
    tip_.Offer(CutTipText(tip, std::size(data_.szTip)));
    created_ = true;
    return Add();
}

bool CTrayIcon::ShowBalloon(std::wstring_view title, std::wstring_view text, bool sound) {
    if (!present_) return false;
    NOTIFYICONDATAW balloon = data_;
    balloon.uFlags = NIF_INFO;
    const std::wstring cutTitle = CutTipText(title, std::size(balloon.szInfoTitle));
    const std::wstring cutText = CutTipText(text, std::size(balloon.szInfo));
    balloon.szInfoTitle[cutTitle.copy(balloon.szInfoTitle, cutTitle.size())] = L'\0';
    balloon.szInfo[cutText.copy(balloon.szInfo, cutText.size())] = L'\0';
    balloon.dwInfoFlags = NIIF_INFO | (sound ? 0u : static_cast<DWORD>(NIIF_NOSOUND));
    if (NotifyIcon(NIM_MODIFY, &balloon) == FALSE) return false;
    balloonText_ = cutText;
    return true;
}

void CTrayIcon::CopyTip(const std::wstring& tip) {
    data_.szTip[tip.copy(data_.szTip, std::size(data_.szTip) - 1)] = L'\0';
}

bool CTrayIcon::Add() {
    // The icon, the tip as it is now and the callback; then the message
    // format that says when the tip opens and closes. The standard tip is
    // asked for, which that format would otherwise leave to the program.
    CopyTip(tip_.Latest());
    tip_.MarkSent();
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
    present_ = NotifyIcon(NIM_ADD, &data_) != FALSE;
    version_ = 0;
    if (present_) {
        data_.uVersion = NOTIFYICON_VERSION_4;
        if (NotifyIcon(NIM_SETVERSION, &data_) != FALSE) version_ = NOTIFYICON_VERSION_4;
        data_.uVersion = 0;
    }
    return present_;
}

void CTrayIcon::Modify(UINT flags) {
    if (!present_) return;
    // Only what changed: the shell redraws the icon whenever one is sent.
    NOTIFYICONDATAW change = data_;
    change.uFlags = flags;
    NotifyIcon(NIM_MODIFY, &change);
}

void CTrayIcon::SetIcon(HICON icon) {
    if (!created_ || icon == data_.hIcon) return;
    data_.hIcon = icon;
    Modify(NIF_ICON);
}

void CTrayIcon::SetIcon(UINT resourceId) {
    SetIcon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId),
                                          IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                          GetSystemMetrics(SM_CYSMICON), LR_SHARED)));
}

void CTrayIcon::SetTooltipText(std::wstring_view tip) {
    if (!created_) return;
    // Every tick offers its tip; the shell gets it by the minute, or each
    // second while the tip is open.
    if (tip_.Offer(CutTipText(tip, std::size(data_.szTip)))) SendTip();
}

void CTrayIcon::SendTip() {
    CopyTip(tip_.Sent());
    Modify(NIF_TIP | NIF_SHOWTIP);
}

void CTrayIcon::Remove() {
    if (present_) NotifyIcon(NIM_DELETE, &data_);
    present_ = false;
    created_ = false;
}

UINT CTrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

bool CTrayIcon::OnTaskbarCreated() {
    if (!created_) return false;
    return Add();
}

bool CTrayIcon::OnTrayNotification(WPARAM wp, LPARAM lp) {
    // The newer format names the icon in the high word of lParam and the
    // event in its low word; the older one the icon in wParam.
    const bool newer = version_ >= NOTIFYICON_VERSION_4;
    const UINT id = newer ? HIWORD(lp) : static_cast<UINT>(wp);
    const UINT event = newer ? LOWORD(lp) : static_cast<UINT>(lp);
    if (!created_ || id != data_.uID) return false;
    HWND owner = data_.hWnd;
    // The newer format follows a right button's release with WM_CONTEXTMENU,
    // and sends that alone for the keyboard's menu key: the menu opens on it.
    const UINT menuEvent = newer ? WM_CONTEXTMENU : WM_RBUTTONUP;
    if (event == menuEvent) {
        TrayMenu menu(data_.uID);
        HMENU popup = menu.Popup();
        if (!popup) return true;
        SetMenuDefaultItem(popup, 0, TRUE);
        POINT at{};
        GetCursorPos(&at);
        // The menu closes on Esc or a click elsewhere only when its owner
        // is the foreground window; the null message after it lets a
        // second click on the icon open it again at once.
        SetForegroundWindow(owner);
        TrackPopupMenu(popup, TPM_LEFTBUTTON, at.x, at.y, 0, owner, nullptr);
        PostMessageW(owner, WM_NULL, 0, 0);
        return true;
    }
    switch (event) {
        case WM_LBUTTONDOWN: {
            TrayMenu menu(data_.uID);
            HMENU popup = menu.Popup();
            if (!popup) return false;
            // The second item: "显示主窗口" in the shipped menu.
            if (command_) command_(GetMenuItemID(popup, 1));
            return true;
        }
        case NIN_POPUPOPEN:
            // The tip is read now: it catches up with its seconds at once.
            if (tip_.SetShown(true)) SendTip();
            return true;
        case NIN_POPUPCLOSE:
            tip_.SetShown(false);
            return true;
        default:
            return true;
    }
}

}  // namespace hourlink::widgets
