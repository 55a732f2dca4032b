// libFuzzer target for reading the settings: the in-memory store, typed like
// the registry, holds values of any type under the program's keys (as a
// hand-edited or damaged registry may), then everything that reads them at
// start-up and later runs over it. No reader may crash or overflow, and each
// must come up with a value the options could have written or its default.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/accounting/limits.h"
#include "core/accounting/session_clock.h"
#include "core/automation/schedule.h"
#include "core/automation/shutdown_plan.h"
#include "core/records/record_maintenance.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "core/ui/screen_placement.h"
#include "fuzz_support.h"

using namespace hourlink;

namespace {

struct Key {
    std::wstring_view section;
    std::wstring_view key;
};

std::vector<IntSetting> IntSettings() {
    std::vector<IntSetting> all(settings::kAllInts.begin(), settings::kAllInts.end());
    all.insert(all.end(), settings::kWeekDays.begin(), settings::kWeekDays.end());
    all.push_back(settings::kEndProgramsAtDisconnect);
    return all;
}

std::vector<Key> AllKeys() {
    std::vector<Key> keys;
    for (const IntSetting& s : IntSettings()) keys.push_back({s.section, s.key});
    for (const StringSetting& s :
         {settings::kDefaultConnect, settings::kScheduleEntryName, settings::kRunPrograms,
          settings::kDirectory, settings::kScheduleStarts[0], settings::kScheduleStops[0]}) {
        keys.push_back({s.section, s.key});
    }
    for (const std::wstring_view section : {settings::kFrame, settings::kDragDlg}) {
        for (const std::wstring_view key : {L"Status", L"Top", L"Left", L"Bottom", L"Right"}) {
            keys.push_back({section, key});
        }
    }
    keys.push_back({settings::kShutdown, settings::kShutdownTimeKey});
    return keys;
}

// Absent, or a value of any type; mostly a number, as most settings are.
std::optional<MemorySettingsStore::Value> AnyValue(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 7)) {
        case 0:
            return std::nullopt;
        case 1: {
            const std::vector<std::uint8_t> bytes =
                input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 64));
            return fuzz::Utf16Text(bytes.data(), bytes.size());
        }
        case 2:
            return input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 8));
        case 3:
            return MemorySettingsStore::QWord{input.ConsumeIntegral<std::uint64_t>()};
        default:
            return input.ConsumeIntegral<std::uint32_t>();
    }
}

bool SameValue(const MemorySettingsStore::Value* a, const MemorySettingsStore::Value* b) {
    if (a == nullptr || b == nullptr) return a == b;
    if (a->index() != b->index()) return false;
    return std::visit(
        [b](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, MemorySettingsStore::QWord>) {
                return value.value == std::get<T>(*b).value;
            } else {
                return value == std::get<T>(*b);
            }
        },
        *a);
}

void CheckReads(MemorySettingsStore& store) {
    for (const IntSetting& s : IntSettings()) {
        const int value = ReadSetting(store, s);
        FUZZ_REQUIRE(value == s.readDefault || (value >= s.min && value <= s.max));
    }
    const int day = ReadStartDay(store);
    FUZZ_REQUIRE(day >= kMinStartDay && day <= kMaxStartDay);
}

// A window saved anywhere must come back where at least an icon's piece of
// it meets a monitor's work area.
void CheckPlacement(MemorySettingsStore& store, FuzzedDataProvider& input) {
    std::vector<MonitorArea> monitors(input.ConsumeIntegralInRange(1, 3));
    for (MonitorArea& m : monitors) {
        // The primary monitor, first, has its corner at (0,0).
        const bool primary = &m == &monitors.front();
        const int left = primary ? 0 : input.ConsumeIntegralInRange(-8000, 8000);
        const int top = primary ? 0 : input.ConsumeIntegralInRange(-8000, 8000);
        m.monitor = {left, top, left + input.ConsumeIntegralInRange(320, 8000),
                     top + input.ConsumeIntegralInRange(200, 8000)};
        m.work = m.monitor;
        m.work.bottom -= input.ConsumeIntegralInRange(0, 100);
    }
    const int width = input.ConsumeIntegralInRange(1, 2000);
    const int height = input.ConsumeIntegralInRange(1, 2000);
    const ScreenPoint at = PlaceOnMonitors(ReadWindowPlacement(store, settings::kDragDlg), monitors,
                                           width, height, 32, 32);
    bool seen = false;
    for (const MonitorArea& m : monitors) {
        seen = seen || (at.x < m.work.right && at.x + 32 > m.work.left && at.y < m.work.bottom &&
                        at.y + 32 > m.work.top);
    }
    FUZZ_REQUIRE(seen);

    if (const auto frame = ReadWindowPlacement(store, settings::kFrame)) {
        const WindowRect r =
            PlaceOnScreen(*frame, monitors[0].monitor.right, monitors[0].monitor.bottom, 32, 32);
        FUZZ_REQUIRE(r.x <= monitors[0].monitor.right - 32);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<Key> keys = AllKeys();
    FuzzedDataProvider input(data, size);
    MemorySettingsStore store;
    for (const Key& key : keys) {
        if (auto value = AnyValue(input)) store.Put(key.section, key.key, std::move(*value));
    }
    const std::int64_t now = input.ConsumeIntegralInRange<std::int64_t>(0, 0xFFFFFFFF);

    CheckReads(store);
    CheckPlacement(store, input);

    const ShutdownSettings shutdown = ReadShutdownSettings(store, now);
    FUZZ_REQUIRE(shutdown.mode >= 0 && shutdown.mode <= 2 && shutdown.hour <= 23);
    FUZZ_REQUIRE(shutdown.time > now);
    (void)ReadSchedulePlan(store);
    FUZZ_REQUIRE(!ReadDataDirectory(store, L"C:\\Hourlink").empty());
    FUZZ_REQUIRE(PurgeCutoff(now, ReadSetting(store, settings::kDelInterval, 3),
                             ReadStartDay(store)) <= now);

    AccountingFigures sums;
    sums.monthTotal = input.ConsumeIntegralInRange<std::int64_t>(0, 1LL << 40);
    sums.monthBilled = input.ConsumeIntegralInRange<std::int64_t>(0, 1LL << 40);
    const AccountingFigures adjusted =
        ApplyAdjustment(store, input.ConsumeIntegralInRange(1, 12), sums);
    FUZZ_REQUIRE(adjusted.monthTotal >= 0 && adjusted.monthBilled >= 0);

    LimitMonitor limits(store);
    (void)limits.CheckMonth(input.ConsumeIntegral<int>());
    (void)limits.CheckDay(input.ConsumeIntegralInRange<std::int64_t>(0, 1LL << 40),
                          input.ConsumeIntegralInRange<std::int64_t>(0, 1LL << 40));

    // The start-up normalisation leaves sound values, and a second start
    // finds nothing more to change.
    const int translucent = NormalizeSettingsAtStartup(store);
    FUZZ_REQUIRE(translucent == 0 || translucent == 1);
    CheckReads(store);
    for (const IntSetting& s : {settings::kDelInterval, settings::kStartDate, settings::kLimitTime,
                                settings::kDayLimit}) {
        const int value = ReadSetting(store, s);
        FUZZ_REQUIRE(value >= s.min && value <= s.max);
    }
    std::vector<MemorySettingsStore::Value> before;
    std::vector<bool> present;
    for (const Key& key : keys) {
        const auto* value = store.Find(key.section, key.key);
        present.push_back(value != nullptr);
        before.push_back(value ? *value : MemorySettingsStore::Value{});
    }
    NormalizeSettingsAtStartup(store);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        FUZZ_REQUIRE(
            SameValue(present[i] ? &before[i] : nullptr, store.Find(keys[i].section, keys[i].key)));
    }
    return 0;
}
