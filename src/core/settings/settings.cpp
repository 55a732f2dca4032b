#include "core/settings/settings.h"

#include <array>

#include "core/base/byte_order.h"

namespace hourlink {

int ReadSetting(SettingsStore& store, const IntSetting& setting, int defaultValue) {
    const int value = store.ReadInt(setting.section, setting.key, defaultValue);
    if (value == defaultValue || (value >= setting.min && value <= setting.max)) return value;
    return defaultValue;
}

bool WriteSetting(SettingsStore& store, const IntSetting& setting, int value) {
    return store.WriteInt(setting.section, setting.key, value);
}

std::wstring ReadSetting(SettingsStore& store, const StringSetting& setting) {
    return store.ReadString(setting.section, setting.key, setting.readDefault);
}

bool WriteSetting(SettingsStore& store, const StringSetting& setting, std::wstring_view value) {
    return store.WriteString(setting.section, setting.key, value);
}

int ReadStartDay(SettingsStore& store) {
    const int stored = ReadSetting(store, settings::kStartDate);
    return stored >= kMinStartDay && stored <= kMaxStartDay ? stored : kDefaultStartDay;
}

int NormalizeSettingsAtStartup(SettingsStore& store) {
    using namespace settings;
    // The order of these reads and writes is the order a fresh installation's
    // registry is filled in; each step only fills in what is missing.
    int translucent = ReadSetting(store, kTranWindow);
    if (ReadSetting(store, kDelInterval) == 0) WriteSetting(store, kDelInterval, 3);
    if (ReadSetting(store, kStartDate) == 0) WriteSetting(store, kStartDate, 21);
    if (ReadSetting(store, kLimitTime) == 0) WriteSetting(store, kLimitTime, 60);
    if (ReadSetting(store, kAlarmSound) == 0 && ReadSetting(store, kAlarmWindow) == 0) {
        WriteSetting(store, kAlarmWindow, 1);
    }
    if (ReadSetting(store, kDayLimit) == 0) WriteSetting(store, kDayLimit, 5);
    // These three are on/off values whose absence is told apart from a stored 0
    // by reading them with the default 2.
    if (ReadSetting(store, kDropWindow, 2) == 2) WriteSetting(store, kDropWindow, 1);
    if (ReadSetting(store, kTranWindow) == 0) {
        WriteSetting(store, kTranWindow, 0);
        translucent = 0;
    }
    if (ReadSetting(store, kStartRun, 2) == 2) WriteSetting(store, kStartRun, 1);
    if (ReadSetting(store, kHangUp, 2) == 2) WriteSetting(store, kHangUp, 0);
    // No data allowance unless one is chosen; warnings at 80 %.
    if (ReadSetting(store, kDataLimit, -1) == -1) WriteSetting(store, kDataLimit, 0);
    if (ReadSetting(store, kWarnShare, -1) == -1) WriteSetting(store, kWarnShare, 80);
    return translucent;
}

void RestoreDefaultSettings(SettingsStore& store) {
    using namespace settings;
    WriteSetting(store, kDelInterval, 3);
    WriteSetting(store, kStartDate, 21);
    WriteSetting(store, kLimitTime, 60);
    WriteSetting(store, kAlarmSound, 0);
    WriteSetting(store, kAlarmWindow, 1);
    WriteSetting(store, kDayLimit, 5);
    WriteSetting(store, kDropWindow, 1);
    WriteSetting(store, kTranWindow, 0);
    WriteSetting(store, kStartRun, 1);
    WriteSetting(store, kHangUp, 0);
    WriteSetting(store, kAdjust, 0);
    WriteSetting(store, kDataLimit, 0);
    WriteSetting(store, kWarnShare, 80);
}

namespace {

constexpr std::array<std::wstring_view, 5> kPlacementKeys{L"Status", L"Top", L"Left", L"Bottom",
                                                          L"Right"};

}  // namespace

std::optional<WindowPlacement> ReadWindowPlacement(SettingsStore& store,
                                                   std::wstring_view section) {
    std::array<int, 5> v{};
    for (std::size_t i = 0; i < kPlacementKeys.size(); ++i) {
        v[i] = store.ReadInt(section, kPlacementKeys[i], -1);
        if (v[i] == -1) return std::nullopt;
    }
    return WindowPlacement{v[0], v[1], v[2], v[3], v[4]};
}

void WriteWindowPlacement(SettingsStore& store, std::wstring_view section,
                          const WindowPlacement& p) {
    const std::array<int, 5> v{p.status, p.top, p.left, p.bottom, p.right};
    for (std::size_t i = 0; i < kPlacementKeys.size(); ++i) {
        store.WriteInt(section, kPlacementKeys[i], v[i]);
    }
}

std::optional<std::int32_t> ReadShutdownTime(SettingsStore& store) {
    const auto bytes = store.ReadBinary(settings::kShutdown, settings::kShutdownTimeKey);
    if (!bytes || bytes->size() != 4) return std::nullopt;
    return LoadI32(bytes->data());
}

void WriteShutdownTime(SettingsStore& store, std::int32_t seconds) {
    std::array<std::uint8_t, 4> bytes{};
    StoreI32(bytes.data(), seconds);
    store.WriteBinary(settings::kShutdown, settings::kShutdownTimeKey, bytes);
}

std::optional<std::int32_t> ReadPendingShutdownTime(SettingsStore& store, std::int64_t now) {
    const auto time = ReadShutdownTime(store);
    if (!time || *time <= now) return std::nullopt;
    return time;
}

std::wstring ReadDataDirectory(SettingsStore& store, std::wstring_view programDirectory) {
    std::wstring directory = ReadSetting(store, settings::kDirectory);
    if (directory.empty()) directory = programDirectory;
    return directory;
}

RecordFolder ChooseRecordFolder(SettingsStore& store, std::wstring_view programDirectory,
                                const std::function<bool()>& canWriteProgramDirectory,
                                std::wstring_view localAppData) {
    std::wstring directory = ReadSetting(store, settings::kDirectory);
    if (!directory.empty()) return {std::move(directory), false};
    if (localAppData.empty() || canWriteProgramDirectory()) {
        return {std::wstring(programDirectory), false};
    }
    std::wstring local(localAppData);
    if (local.back() != L'\\') local += L'\\';
    return {local + L"Hourlink\\", true};
}

}  // namespace hourlink
