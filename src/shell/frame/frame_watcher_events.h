// FrameWatcherEvents: how the watcher thread reaches the frame window. The
// thread never touches a window; it posts or sends the frame's messages:
//
//   WM_CONNECTION_EVENT  wParam = a heap copy of the ConnectionStatus, lParam 0;
//                        posted at a session start, sent (the thread waits for
//                        the frame) at a session end
//   WM_RECORDS_UPDATED   wParam 1, posted once the record table is loaded
//   WM_LOG_TEXT          lParam = a heap std::wstring, posted for every report
//
// Every copy belongs to its message: the receiver takes it with
// TakeConnectionStatus / TakeLogText, which free it when the unique_ptr goes.
// When a post fails the copy never left the sender, so the sender frees it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "core/automation/program_list.h"
#include "core/net/connection_watcher.h"
#include "core/settings/settings_store.h"
#include "shell/platform/win32_program_launcher.h"

namespace hourlink {

class FrameWatcherEvents final : public WatcherEvents {
  public:
    // With `settings`, the user's programs are started at a connect (on the
    // watcher's thread; failures go to the log pane like any report).
    explicit FrameWatcherEvents(HWND frame, SettingsStore* settings = nullptr);

    void SessionStarted(const ConnectionStatus& status) override;
    void SessionEnded(const ConnectionStatus& status) override;
    void RecordsLoaded() override;
    void Log(std::wstring text) override;
    void PlaySound(std::wstring_view file) override;
    void StartPrograms() override;
    void EndPrograms() override;
    void Pause(int milliseconds) override;

    HWND Frame() const { return frame_; }

  private:
    HWND frame_;
    Win32ProgramLauncher launcher_;
    std::unique_ptr<ProgramStarter> programs_;
};

// The sender's side for texts: posts `message` carrying a heap copy of `text`
// that the message owns, in wParam, or in lParam with `style` in wParam. False
// (the copy freed) when the window is gone.
bool PostOwnedText(HWND window, UINT message, std::wstring text, bool inWParam, WPARAM style = 0);

// The receiver's side: takes ownership of what a message carries. A zero
// argument gives an empty pointer.
std::unique_ptr<ConnectionStatus> TakeConnectionStatus(WPARAM wp);
std::unique_ptr<std::wstring> TakeLogText(LPARAM lp);

}  // namespace hourlink
