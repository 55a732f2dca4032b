// CTrayIcon: the program's icon in the notification area. It adds, changes and
// removes the icon and its tip, puts it back when the shell (re)starts, and
// turns mouse events on the icon into its menu, owned by the owner window, or a
// command it reports. No window of its own.
//
// The frame's part: Create() once; SetIcon() at each connect and end;
// SetTooltipText() at every tick and with the offline texts; every
// WM_TRAY_NOTIFY to OnTrayNotification(); the registered "TaskbarCreated"
// message to OnTaskbarCreated().
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>

#include "core/ui/changed_texts.h"

namespace hourlink::widgets {

class CTrayIcon {
  public:
    CTrayIcon() = default;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;
    virtual ~CTrayIcon();

    // Adds the icon `id` of `owner`, which gets `callbackMessage` for mouse
    // events on it; the menu resource with the same number is the icon's menu.
    // False when `owner` is not a window, when this object already made an
    // icon, or when the shell refuses it (there may be no shell yet: the icon
    // is added when the shell announces itself, OnTaskbarCreated).
    bool Create(HWND owner, UINT callbackMessage, std::wstring_view tip, HICON icon, UINT id);
    // Whether the icon is in the notification area now.
    bool IsPresent() const { return present_; }

    // Change the icon or its tip. Kept while the icon is not shown, for when it
    // is added again.
    void SetIcon(HICON icon);
    // The icon resource `id` at the small icon size.
    void SetIcon(UINT resourceId);
    // A tip too long for the shell is cut at a character boundary. The shell
    // gets it when more than its seconds changed, or at once while it is open.
    void SetTooltipText(std::wstring_view tip);
    // The tip as last set; the shell may still show it a few seconds behind.
    std::wstring TooltipText() const { return tip_.Latest(); }
    // The callback's message format the shell agreed to: NOTIFYICON_VERSION_4,
    // or 0 for the oldest one.
    UINT Version() const { return version_; }
    HICON Icon() const { return data_.hIcon; }

    // A balloon from the icon (the shell's notification), with the shell's
    // sound only when asked; false when the icon is not shown or the shell
    // refuses it.
    bool ShowBalloon(std::wstring_view title, std::wstring_view text, bool sound = false);
    // The text of the last balloon shown.
    const std::wstring& BalloonText() const { return balloonText_; }

    // Takes the icon out of the notification area (also done on destruction).
    void Remove();

    // The message the shell broadcasts when it starts: Explorer restarted after
    // a crash, or a shell that came up after this program at logon.
    static UINT TaskbarCreatedMessage();
    // Adds the icon again with its current picture and tip; the shell has lost
    // it. True when it is present afterwards.
    bool OnTaskbarCreated();

    // A mouse event on the icon (wParam and lParam of the callback message, in
    // the format of Version()). The menu (right button up, or the context-menu
    // event of the newer format): the menu's first popup at the mouse, its first item the
    // default (bold), its commands sent to the owner window as any menu's are;
    // left button down: the command of the popup's second item is reported.
    // The tip opening and closing (newer format) decide how often it is sent.
    // Others do nothing. False for another icon's id.
    virtual bool OnTrayNotification(WPARAM id, LPARAM mouseMessage);
    // Where a left click's command goes.
    void OnCommand(std::function<void(UINT command)> callback) { command_ = std::move(callback); }

  private:
    bool Add();
    void Modify(UINT flags);
    void SendTip();
    void CopyTip(const std::wstring& tip);

    NOTIFYICONDATAW data_{};
    TrayTipSchedule tip_;
    UINT version_ = 0;
    bool created_ = false;
    bool present_ = false;
    std::function<void(UINT command)> command_;
    std::wstring balloonText_;
};

}  // namespace hourlink::widgets
