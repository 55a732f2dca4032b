#include "core/settings/cached_settings_store.h"

#include <iterator>

namespace hourlink {

void CachedSettingsStore::Forget() {
    ints_.clear();
    strings_.clear();
}

int CachedSettingsStore::ReadInt(std::wstring_view section, std::wstring_view key,
                                 int defaultValue) {
    if (auto found = ints_.find(std::tuple(section, key, defaultValue)); found != ints_.end()) {
        return found->second;
    }
    const int value = store_.ReadInt(section, key, defaultValue);
    ints_.emplace(IntKey{section, key, defaultValue}, value);
    return value;
}

std::wstring CachedSettingsStore::ReadString(std::wstring_view section, std::wstring_view key,
                                             std::wstring_view defaultValue) {
    if (auto found = strings_.find(std::tuple(section, key, defaultValue));
        found != strings_.end()) {
        return found->second;
    }
    std::wstring value = store_.ReadString(section, key, defaultValue);
    strings_.emplace(StringKey{section, key, defaultValue}, value);
    return value;
}

std::optional<std::vector<std::uint8_t>> CachedSettingsStore::ReadBinary(std::wstring_view section,
                                                                         std::wstring_view key) {
    return store_.ReadBinary(section, key);
}

void CachedSettingsStore::DropValue(std::wstring_view section, std::wstring_view key) {
    // Every default's answer of the value goes, of either type: a value may
    // be written as one type and read as the other.
    std::erase_if(ints_, [&](const auto& entry) {
        return std::get<0>(entry.first) == section && std::get<1>(entry.first) == key;
    });
    std::erase_if(strings_, [&](const auto& entry) {
        return std::get<0>(entry.first) == section && std::get<1>(entry.first) == key;
    });
}

bool CachedSettingsStore::WriteInt(std::wstring_view section, std::wstring_view key, int value) {
    DropValue(section, key);
    return store_.WriteInt(section, key, value);
}

bool CachedSettingsStore::WriteString(std::wstring_view section, std::wstring_view key,
                                      std::wstring_view value) {
    DropValue(section, key);
    return store_.WriteString(section, key, value);
}

bool CachedSettingsStore::WriteBinary(std::wstring_view section, std::wstring_view key,
                                      std::span<const std::uint8_t> value) {
    DropValue(section, key);
    return store_.WriteBinary(section, key, value);
}

}  // namespace hourlink
