// The dialing seam on the real system: RAS's dial functions (looked up at run
// time in "RASAPI32.DLL"), CreateProcess for the PPPoE client, and posted
// clicks. RAS reports a dial's progress through a notification function that
// runs on a thread of RAS's own; it only posts a message to the window given to
// SetNotifyWindow.
#pragma once

#include <windows.h>

#include <memory>

#include "core/net/dial_platform.h"

namespace hourlink {

class Win32DialPlatform final : public DialPlatform {
  public:
    Win32DialPlatform();
    ~Win32DialPlatform() override;
    Win32DialPlatform(const Win32DialPlatform&) = delete;
    Win32DialPlatform& operator=(const Win32DialPlatform&) = delete;

    // The window that receives `message` for each dialling state (wParam the
    // state, 0 on an error; lParam the error code); null for none.
    static void SetNotifyWindow(HWND window, UINT message);

    std::uint32_t GetEntryDialParameters(const std::wstring& entryName, DialParameters& parameters,
                                         bool& hasPassword) override;
    std::uint32_t SetEntryDialParameters(const DialParameters& parameters,
                                         bool removePassword) override;
    std::uint32_t Dial(const DialParameters& parameters, RasHandle& handle) override;
    std::uint32_t HangUp(RasHandle handle) override;
    std::uint32_t ConnectionStatus(RasHandle handle) override;
    std::optional<std::wstring> ErrorText(std::uint32_t code) override;
    std::uint32_t StartProgram(const std::wstring& commandLine, int idleTimeoutMs) override;
    void PostClick(std::uintptr_t window) override;

  private:
    struct Functions;
    std::uint32_t Missing() const;

    HMODULE library_ = nullptr;
    std::unique_ptr<Functions> ras_;
};

}  // namespace hourlink
