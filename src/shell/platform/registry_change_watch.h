// RegistryChangeWatch: tells a window when anything under a registry key
// changes, by a posted message. The system signals an event; a thread-pool
// wait posts the message, and the window's thread arms the next signal
// (Rearm) when it takes the message, so no window is touched from another
// thread and nothing polls.
#pragma once

#include <windows.h>

#include <string>

namespace hourlink {

class RegistryChangeWatch {
  public:
    RegistryChangeWatch() = default;
    RegistryChangeWatch(const RegistryChangeWatch&) = delete;
    RegistryChangeWatch& operator=(const RegistryChangeWatch&) = delete;
    ~RegistryChangeWatch();

    // Watches `path` under `root`, its subkeys included, for `message` to
    // `window`. False when the key cannot be opened or watched.
    bool Start(HKEY root, const std::wstring& path, HWND window, UINT message);
    // After each message: the next change is signalled again.
    void Rearm();
    void Stop();

  private:
    static void CALLBACK Signalled(void* self, BOOLEAN timedOut);

    HKEY key_ = nullptr;
    HANDLE event_ = nullptr;
    HANDLE wait_ = nullptr;
    HWND window_ = nullptr;
    UINT message_ = 0;
};

}  // namespace hourlink
