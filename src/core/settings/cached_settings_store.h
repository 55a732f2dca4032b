// CachedSettingsStore: a settings store that reads each value from the store
// behind it once and then answers from memory, for the settings a
// once-a-second tick consults. Its own writes go through, and the next read
// of the value fetches it again; a change made elsewhere (the options dialog, another program) is
// seen after Forget(), which the owner calls when it learns of one.
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "core/settings/settings_store.h"

namespace hourlink {

class CachedSettingsStore : public SettingsStore {
  public:
    explicit CachedSettingsStore(SettingsStore& store) : store_(store) {}

    // The next reads go to the store behind again.
    void Forget();

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

  private:
    // A read's answer depends on its default too (an absent value yields it).
    using IntKey = std::tuple<std::wstring, std::wstring, int>;
    using StringKey = std::tuple<std::wstring, std::wstring, std::wstring>;
    void DropValue(std::wstring_view section, std::wstring_view key);

    SettingsStore& store_;
    // Keys compare as views of their parts, so a read that hits (many a
    // tick) is looked up by views and allocates nothing.
    struct KeyLess {
        using is_transparent = void;
        template <typename A, typename B>
        bool operator()(const A& a, const B& b) const {
            return Views(a) < Views(b);
        }
        template <typename... Parts>
        static auto Views(const std::tuple<Parts...>& key) {
            return std::apply([](const auto&... part) { return std::tuple(View(part)...); }, key);
        }
        static std::wstring_view View(std::wstring_view text) { return text; }
        static int View(int value) { return value; }
    };
    std::map<IntKey, int, KeyLess> ints_;
    std::map<StringKey, std::wstring, KeyLess> strings_;
};

}  // namespace hourlink
