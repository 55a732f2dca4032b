// The program lock's values in the registry, under a key of the lock's own in
// the per-user classes (HKEY_CURRENT_USER\Software\Classes\CLSID\{...}), which
// HKEY_CLASSES_ROOT shows: a standard user's protection is really stored. Each
// operation opens the key and closes it again on every path.
#pragma once

#include <windows.h>

#include <string>

#include "core/lock/protection_store.h"

namespace hourlink {

class RegistryProtectionValues final : public ProtectionValues {
  public:
    static constexpr const wchar_t* kKeyPath =
        L"Software\\Classes\\CLSID\\{702C8FA8-F5EF-4479-AC46-8438C2B7FF0B}";

    explicit RegistryProtectionValues(HKEY root = HKEY_CURRENT_USER, std::wstring path = kKeyPath);

    // Values of any type are read as their bytes; one too long for the
    // store's use is not read.
    std::optional<std::vector<std::uint8_t>> Read(std::wstring_view name) override;
    // REG_BINARY; creates the key when needed.
    bool Write(std::wstring_view name, std::span<const std::uint8_t> bytes) override;
    bool Delete(std::wstring_view name) override;

  private:
    HKEY root_;
    std::wstring path_;
};

}  // namespace hourlink
