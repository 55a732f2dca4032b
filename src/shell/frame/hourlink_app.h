// CHourlinkApp: starts the program. One copy runs per user session: a second
// copy brings the first one's main window forward and ends. The application
// object then sets up OLE, the common controls and the settings store, creates
// the main frame, shows or hides it as the command line asks, marks it for a
// later copy, and keeps the start-with-Windows entry up to date.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "shell/frame/main_frame.h"
#include "shell/platform/registry_settings_store.h"

namespace hourlink {

class CHourlinkApp {
  public:
    CHourlinkApp() = default;
    CHourlinkApp(const CHourlinkApp&) = delete;
    CHourlinkApp& operator=(const CHourlinkApp&) = delete;
    ~CHourlinkApp();

    // `commandLine` is the text after the program name. False when this copy
    // is to end at once: another copy runs, or start-up failed.
    bool InitInstance(std::wstring_view commandLine);
    // The message loop; returns the exit code.
    int Run();

    bool ShowMainWindow() const { return showMainWindow_; }
    CMainFrame& Frame() { return frame_; }
    SettingsStore& Settings() { return settings_; }

  private:
    // False when another copy holds the mutex; that copy's window is brought
    // forward first.
    bool ClaimSingleInstance(const std::wstring& baseName);

    bool showMainWindow_ = true;
    HANDLE instanceMutex_ = nullptr;  // held for the life of the process
    RegistrySettingsStore settings_;
    CMainFrame frame_;
};

// The top-level window that carries the property `baseName`: the main window of
// a running copy. Null when there is none.
HWND FindMarkedWindow(const std::wstring& baseName);

}  // namespace hourlink
