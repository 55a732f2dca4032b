#include "shell/platform/registry_protection_values.h"

#include "shell/win/registry_key.h"

namespace hourlink {

namespace {

// Room for any value the store reads; a longer one does not fit and is not read.
constexpr DWORD kReadRoom = 256;

}  // namespace

RegistryProtectionValues::RegistryProtectionValues(HKEY root, std::wstring path)
    : root_(root), path_(std::move(path)) {}

std::optional<std::vector<std::uint8_t>> RegistryProtectionValues::Read(std::wstring_view name) {
    win::RegistryKey key;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(kReadRoom);
    DWORD size = kReadRoom;
    const std::wstring valueName(name);
    if (RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, nullptr, bytes.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    bytes.resize(size);
    return bytes;
}

bool RegistryProtectionValues::Write(std::wstring_view name, std::span<const std::uint8_t> bytes) {
    win::RegistryKey key;
    if (RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, key.Out(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring valueName(name);
    const BYTE empty = 0;
    return RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_BINARY,
                          bytes.empty() ? &empty : bytes.data(),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool RegistryProtectionValues::Delete(std::wstring_view name) {
    win::RegistryKey key;
    const LONG opened = RegOpenKeyExW(root_, path_.c_str(), 0, KEY_SET_VALUE, key.Out());
    if (opened == ERROR_FILE_NOT_FOUND) return true;  // no key, no value
    if (opened != ERROR_SUCCESS) return false;
    const std::wstring valueName(name);
    const LONG deleted = RegDeleteValueW(key.Get(), valueName.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

}  // namespace hourlink
