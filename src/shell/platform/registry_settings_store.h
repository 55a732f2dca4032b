// Settings in the registry: HKEY_CURRENT_USER\Software\Hourlink\Hourlink\<Section>,
// integers as REG_DWORD, strings as REG_SZ, the binary value as REG_BINARY. A value
// of another type than the one asked for reads as the default.
#pragma once

#include <windows.h>

#include <string>

#include "core/settings/settings_store.h"

namespace hourlink {

class RegistrySettingsStore final : public SettingsStore {
  public:
    // The program's own key.
    static constexpr const wchar_t* kProgramKey = L"Software\\Hourlink\\Hourlink";

    explicit RegistrySettingsStore(HKEY root = HKEY_CURRENT_USER,
                                   std::wstring basePath = kProgramKey);

    int ReadInt(std::wstring_view section, std::wstring_view key, int defaultValue) override;
    std::wstring ReadString(std::wstring_view section, std::wstring_view key,
                            std::wstring_view defaultValue) override;
    std::optional<std::vector<std::uint8_t>> ReadBinary(std::wstring_view section,
                                                        std::wstring_view key) override;
    bool WriteInt(std::wstring_view section, std::wstring_view key, int value) override;
    bool WriteString(std::wstring_view section, std::wstring_view key,
                     std::wstring_view value) override;
    bool WriteBinary(std::wstring_view section, std::wstring_view key,
                     std::span<const std::uint8_t> value) override;

    const std::wstring& BasePath() const { return basePath_; }
    HKEY Root() const { return root_; }

  private:
    // The raw bytes and type of a value, or false when it cannot be read.
    bool Query(std::wstring_view section, std::wstring_view key, DWORD& type,
               std::vector<std::uint8_t>& data) const;
    bool Set(std::wstring_view section, std::wstring_view key, DWORD type, const void* data,
             DWORD size);
    std::wstring SectionPath(std::wstring_view section) const;

    HKEY root_;
    std::wstring basePath_;
};

}  // namespace hourlink
