// RegistryChangeWatch: whether anything under a registry key changed since it
// was last asked. The system signals an event; the owner takes it when it
// wants to know (the session tick, once a second while online), so no thread
// waits for it and nothing wakes while the program is idle.
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

    // Watches `path` under `root`, its subkeys included. False when the key
    // cannot be opened or watched.
    bool Start(HKEY root, const std::wstring& path);
    // True once after each change; the next change is signalled again.
    bool TakeChange();
    void Stop();

  private:
    void Arm();

    HKEY key_ = nullptr;
    HANDLE event_ = nullptr;
};

}  // namespace hourlink
