// Settings kept in memory, with the registry's typing: each value is a DWORD, a
// string or a binary block, keys compare without regard to case. Used by native
// tests, which can also plant values of the wrong type.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "core/settings/settings_store.h"

namespace hourlink {

class MemorySettingsStore final : public SettingsStore {
  public:
    struct QWord {
        std::uint64_t value;
    };
    using Value = std::variant<std::uint32_t, std::wstring, std::vector<std::uint8_t>, QWord>;

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

    // Test access: any value of any type, its presence, and removal.
    void Put(std::wstring_view section, std::wstring_view key, Value value);
    const Value* Find(std::wstring_view section, std::wstring_view key) const;
    bool Contains(std::wstring_view section, std::wstring_view key) const {
        return Find(section, key) != nullptr;
    }
    void Remove(std::wstring_view section, std::wstring_view key);
    std::size_t Count() const { return values_.size(); }

  private:
    static std::wstring Fold(std::wstring_view section, std::wstring_view key);
    std::map<std::wstring, Value> values_;
};

}  // namespace hourlink
