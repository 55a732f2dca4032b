// The settings seam: every setting is read and written by section and key through
// these operations. Reads never fail: an absent value, or one of the wrong type,
// yields the caller's default. Writes create the section when needed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hourlink {

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    virtual int ReadInt(std::wstring_view section, std::wstring_view key, int defaultValue) = 0;
    virtual std::wstring ReadString(std::wstring_view section, std::wstring_view key,
                                    std::wstring_view defaultValue) = 0;
    // The stored bytes, or nothing when the value is absent or not binary.
    virtual std::optional<std::vector<std::uint8_t>> ReadBinary(std::wstring_view section,
                                                                std::wstring_view key) = 0;

    virtual bool WriteInt(std::wstring_view section, std::wstring_view key, int value) = 0;
    virtual bool WriteString(std::wstring_view section, std::wstring_view key,
                             std::wstring_view value) = 0;
    virtual bool WriteBinary(std::wstring_view section, std::wstring_view key,
                             std::span<const std::uint8_t> value) = 0;
};

}  // namespace hourlink
