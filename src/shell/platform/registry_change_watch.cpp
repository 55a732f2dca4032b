#include "shell/platform/registry_change_watch.h"

namespace hourlink {

RegistryChangeWatch::~RegistryChangeWatch() {
    Stop();
}

bool RegistryChangeWatch::Start(HKEY root, const std::wstring& path, HWND window, UINT message) {
    Stop();
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_NOTIFY, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS) {
        key_ = nullptr;
        return false;
    }
    window_ = window;
    message_ = message;
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event_ || !RegisterWaitForSingleObject(&wait_, event_, &RegistryChangeWatch::Signalled,
                                                this, INFINITE, WT_EXECUTEDEFAULT)) {
        wait_ = nullptr;
        Stop();
        return false;
    }
    Rearm();
    return true;
}

void RegistryChangeWatch::Rearm() {
    if (!key_ || !event_) return;
    RegNotifyChangeKeyValue(key_, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event_,
                            TRUE);
}

void CALLBACK RegistryChangeWatch::Signalled(void* self, BOOLEAN) {
    auto* watch = static_cast<RegistryChangeWatch*>(self);
    PostMessageW(watch->window_, watch->message_, 0, 0);
}

void RegistryChangeWatch::Stop() {
    // The wait is gone, its last call included, before the event closes.
    if (wait_) UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
    wait_ = nullptr;
    if (event_) CloseHandle(event_);
    event_ = nullptr;
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
}

}  // namespace hourlink
