#include "shell/platform/registry_settings_store.h"

#include <cstring>

#include "shell/win/registry_key.h"

namespace hourlink {

namespace {

// No setting is anywhere near this large; a bigger value is not ours.
constexpr DWORD kMaxValueBytes = 1 << 20;

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(HKEY root, std::wstring basePath)
    : root_(root), basePath_(std::move(basePath)) {}

std::wstring RegistrySettingsStore::SectionPath(std::wstring_view section) const {
    if (section.empty()) return basePath_;
    std::wstring path = basePath_;
    path += L'\\';
    path.append(section);
    return path;
}

bool RegistrySettingsStore::Query(std::wstring_view section, std::wstring_view key, DWORD& type,
                                  std::vector<std::uint8_t>& data) const {
    win::RegistryKey k;
    if (RegOpenKeyExW(root_, SectionPath(section).c_str(), 0, KEY_QUERY_VALUE, k.Out()) !=
        ERROR_SUCCESS) {
        return false;
    }
    const std::wstring name(key);
    // The value may change between the size query and the read: retry a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExW(k.Get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return false;
        }
        if (size > kMaxValueBytes) return false;
        data.assign(size, 0);
        const LONG rc = RegQueryValueExW(k.Get(), name.c_str(), nullptr, &type,
                                         data.empty() ? nullptr : data.data(), &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            return true;
        }
        if (rc != ERROR_MORE_DATA) return false;
    }
    return false;
}

bool RegistrySettingsStore::Set(std::wstring_view section, std::wstring_view key, DWORD type,
                                const void* data, DWORD size) {
    win::RegistryKey k;
    if (RegCreateKeyExW(root_, SectionPath(section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, k.Out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring name(key);
    return RegSetValueExW(k.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
}

int RegistrySettingsStore::ReadInt(std::wstring_view section, std::wstring_view key,
                                   int defaultValue) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!Query(section, key, type, data) || type != REG_DWORD || data.size() != sizeof(DWORD)) {
        return defaultValue;
    }
    DWORD value = 0;
    std::memcpy(&value, data.data(), sizeof value);
    return static_cast<int>(value);
}

std::wstring RegistrySettingsStore::ReadString(std::wstring_view section, std::wstring_view key,
                                               std::wstring_view defaultValue) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!Query(section, key, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::wstring(defaultValue);
    }
    // Stored strings need not be terminated, nor hold a whole number of characters.
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    const auto nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
    return text;
}

std::optional<std::vector<std::uint8_t>> RegistrySettingsStore::ReadBinary(
    std::wstring_view section, std::wstring_view key) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    if (!Query(section, key, type, data) || type != REG_BINARY) return std::nullopt;
    return data;
}

bool RegistrySettingsStore::WriteInt(std::wstring_view section, std::wstring_view key, int value) {
    const DWORD dword = static_cast<DWORD>(value);
    return Set(section, key, REG_DWORD, &dword, sizeof dword);
}

bool RegistrySettingsStore::WriteString(std::wstring_view section, std::wstring_view key,
                                        std::wstring_view value) {
    const std::wstring text(value);
    return Set(section, key, REG_SZ, text.c_str(),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool RegistrySettingsStore::WriteBinary(std::wstring_view section, std::wstring_view key,
                                        std::span<const std::uint8_t> value) {
    return Set(section, key, REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
}

}  // namespace hourlink
