#include "core/settings/memory_settings_store.h"

#include <cwctype>

namespace hourlink {

std::wstring MemorySettingsStore::Fold(std::wstring_view section, std::wstring_view key) {
    std::wstring folded;
    folded.reserve(section.size() + key.size() + 1);
    for (wchar_t c : section) folded += static_cast<wchar_t>(std::towlower(c));
    folded += L'\\';
    for (wchar_t c : key) folded += static_cast<wchar_t>(std::towlower(c));
    return folded;
}

const MemorySettingsStore::Value* MemorySettingsStore::Find(std::wstring_view section,
                                                            std::wstring_view key) const {
    const auto it = values_.find(Fold(section, key));
    return it == values_.end() ? nullptr : &it->second;
}

void MemorySettingsStore::Put(std::wstring_view section, std::wstring_view key, Value value) {
    values_[Fold(section, key)] = std::move(value);
}

void MemorySettingsStore::Remove(std::wstring_view section, std::wstring_view key) {
    values_.erase(Fold(section, key));
}

int MemorySettingsStore::ReadInt(std::wstring_view section, std::wstring_view key,
                                 int defaultValue) {
    const Value* v = Find(section, key);
    if (const auto* dword = v ? std::get_if<std::uint32_t>(v) : nullptr) {
        return static_cast<int>(*dword);
    }
    return defaultValue;
}

std::wstring MemorySettingsStore::ReadString(std::wstring_view section, std::wstring_view key,
                                             std::wstring_view defaultValue) {
    const Value* v = Find(section, key);
    if (const auto* text = v ? std::get_if<std::wstring>(v) : nullptr) return *text;
    return std::wstring(defaultValue);
}

std::optional<std::vector<std::uint8_t>> MemorySettingsStore::ReadBinary(std::wstring_view section,
                                                                         std::wstring_view key) {
    const Value* v = Find(section, key);
    if (const auto* bytes = v ? std::get_if<std::vector<std::uint8_t>>(v) : nullptr) return *bytes;
    return std::nullopt;
}

bool MemorySettingsStore::WriteInt(std::wstring_view section, std::wstring_view key, int value) {
    Put(section, key, static_cast<std::uint32_t>(value));
    return true;
}

bool MemorySettingsStore::WriteString(std::wstring_view section, std::wstring_view key,
                                      std::wstring_view value) {
    Put(section, key, std::wstring(value));
    return true;
}

bool MemorySettingsStore::WriteBinary(std::wstring_view section, std::wstring_view key,
                                      std::span<const std::uint8_t> value) {
    Put(section, key, std::vector<std::uint8_t>(value.begin(), value.end()));
    return true;
}

}  // namespace hourlink
