// What the main window lends the core's objects: message boxes and failure
// reports (Notifier), and the window side of the dialer (DialHost). Calls from
// other threads never touch a window: their texts travel in posted messages
// that the window's own thread handles (WM_SHOW_MESSAGE, WM_DIAL_TEXT).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "core/base/notifier.h"
#include "core/net/dialer.h"
#include "core/net/network_info.h"

namespace hourlink {

class WindowNotifier final : public Notifier {
  public:
    using Window = std::function<HWND()>;
    using Report = std::function<void(std::wstring_view what, int code)>;
    WindowNotifier(Window window, Report report)
        : window_(std::move(window)), report_(std::move(report)) {}

    // A message box over the window; from another thread, posted to it.
    void ShowMessage(std::wstring_view text) override;
    void ReportError(std::wstring_view what, int code) override { report_(what, code); }

  private:
    Window window_;
    Report report_;
};

class WindowDialHost final : public DialHost {
  public:
    using Append = std::function<void(std::wstring_view)>;
    WindowDialHost(std::function<HWND()> window, NetworkInfo& network, Append log)
        : window_(std::move(window)), network_(network), log_(std::move(log)) {}

    void Log(std::wstring text) override { log_(text); }
    void ShowError(std::wstring text) override;
    std::wstring PhoneNumberOf(const std::wstring& entryName) override;
    bool AskConnect(ConnectDetails& details) override;
    void PostLog(std::wstring text) override;
    void PostError(std::wstring text) override;

  private:
    std::function<HWND()> window_;
    NetworkInfo& network_;
    Append log_;
};

}  // namespace hourlink
