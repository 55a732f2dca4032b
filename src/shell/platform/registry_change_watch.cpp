#include "shell/platform/registry_change_watch.h"

namespace hourlink {

RegistryChangeWatch::~RegistryChangeWatch() {
    Stop();
}

bool RegistryChangeWatch::Start(HKEY root, const std::wstring& path) {
    Stop();
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_NOTIFY, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS) {
        key_ = nullptr;
        return false;
    }
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event_) {
        Stop();
        return false;
    }
    Arm();
    return true;
}

void RegistryChangeWatch::Arm() {
    RegNotifyChangeKeyValue(key_, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event_,
                            TRUE);
}

bool RegistryChangeWatch::TakeChange() {
    if (!key_ || !event_ || WaitForSingleObject(event_, 0) != WAIT_OBJECT_0) return false;
    Arm();  // before the caller reads, so a change from now on is signalled again
    return true;
}

void RegistryChangeWatch::Stop() {
    if (event_) CloseHandle(event_);
    event_ = nullptr;
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
}

}  // namespace hourlink
