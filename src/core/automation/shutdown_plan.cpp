#include "core/automation/shutdown_plan.h"

#include <algorithm>
#include <cwchar>

#include "core/base/time_format.h"
#include "core/net/connection_watcher.h"
#include "core/settings/settings.h"

namespace hourlink {

namespace {

constexpr std::int64_t kHour = 3600;

// "now + hours" in 64 bits; nothing past the latest moment a plan may name.
std::optional<std::int64_t> HoursFromNow(std::int64_t now, std::int64_t hours) {
    const std::int64_t moment = now + hours * kHour;
    if (hours < 0 || moment > LatestShutdownTime()) return std::nullopt;
    return moment;
}

}  // namespace

ShutdownSettings ReadShutdownSettings(SettingsStore& store, std::int64_t now) {
    using namespace settings;
    ShutdownSettings values;
    values.hours = static_cast<std::uint32_t>(ReadSetting(store, kShutdownHours));
    values.hour = static_cast<std::uint32_t>(ReadSetting(store, kShutdownHour));
    values.mode = ReadSetting(store, kShutdownPlan);
    values.everyStart = ReadSetting(store, kShutdownSave) != 0;
    const auto pending = ReadPendingShutdownTime(store, now);
    values.time = pending ? *pending : now + 60;
    return values;
}

void WriteShutdownSettings(SettingsStore& store, const ShutdownSettings& values) {
    using namespace settings;
    WriteSetting(store, kShutdownHours, static_cast<int>(values.hours));
    WriteSetting(store, kShutdownHour, static_cast<int>(values.hour));
    WriteSetting(store, kShutdownPlan, values.mode);
    WriteSetting(store, kShutdownSave, values.everyStart ? 1 : 0);
    // Within the 32 bits the value is stored in (the dialog keeps it there).
    const std::int64_t time = std::clamp<std::int64_t>(values.time, 0, LatestShutdownTime());
    WriteShutdownTime(store, static_cast<std::int32_t>(time));
}

std::int64_t LatestShutdownTime() {
    // Local time can be ahead of UTC by up to 14 hours: without a zone that
    // maps it, 2037-12-31 stays far enough from the 32-bit end in any case.
    return FromLocalTime(2037, 12, 31, 23, 59, 59).value_or(2145916799);
}

std::uint32_t MaxShutdownHours(std::int64_t now) {
    const std::int64_t left = LatestShutdownTime() - now;
    if (left <= 0) return 0;
    return static_cast<std::uint32_t>(
        std::min<std::int64_t>(left / kHour, settings::kShutdownHours.max));
}

std::wstring DailyShutdownText(int hour) {
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"将在%d点自动关机", hour);
    return buffer;
}

std::wstring OneOffShutdownText(std::int64_t moment) {
    const auto tm = ToLocalTime(moment);
    if (!tm) return {};
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"将在%04d/%02d/%02d %02d:%02d自动关机", tm->tm_year + 1900,
                  tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min);
    return buffer;
}

ShutdownPlan::ShutdownPlan(SettingsStore& store, const Clock& clock, ShutdownHost& host)
    : store_(store), clock_(clock), host_(host) {}

void ShutdownPlan::ArmFromDialog(const ShutdownSettings& values) {
    const std::int64_t now = clock_.Now();
    oneOff_.reset();
    dailyHour_.reset();
    host_.ShowShutdownText(L"");
    switch (static_cast<ShutdownMode>(values.mode)) {
        case ShutdownMode::kAfterHours:
            oneOff_ = HoursFromNow(now, values.hours);
            break;
        case ShutdownMode::kDaily:
            if (values.hour <= 23) dailyHour_ = static_cast<int>(values.hour);
            break;
        case ShutdownMode::kAtTime:
            if (values.time > now) oneOff_ = values.time;
            break;
    }
    StartTimer();
}

void ShutdownPlan::ApplyStored() {
    using namespace settings;
    if (ReadSetting(store_, kShutdownSave) == 0) return;
    const std::int64_t now = clock_.Now();
    switch (static_cast<ShutdownMode>(ReadSetting(store_, kShutdownPlan))) {
        case ShutdownMode::kAfterHours:
            // An hour count that is missing or out of range arms nothing: read
            // as 0 it would shut the machine down at every start.
            oneOff_ = HoursFromNow(now, ReadSetting(store_, kShutdownHours, -1));
            break;
        case ShutdownMode::kDaily:
            dailyHour_ = ReadSetting(store_, kShutdownHour);
            break;
        case ShutdownMode::kAtTime:
            oneOff_ = ReadPendingShutdownTime(store_, now);
            break;
    }
    StartTimer();
}

void ShutdownPlan::StartTimer() {
    if ((!oneOff_ && !dailyHour_) || host_.ConnectionTimed()) return;
    if (!host_.StartShutdownTimer()) return;
    timerRunning_ = true;
    Check();
}

void ShutdownPlan::StopTimer() {
    if (!timerRunning_) return;
    timerRunning_ = false;
    host_.StopShutdownTimer();
}

void ShutdownPlan::OnSessionTickStarted() {
    StopTimer();
}

void ShutdownPlan::Check() {
    // The countdown runs a message loop of its own, in which the timer and
    // the session tick keep calling.
    if (confirming_) return;
    const std::int64_t now = clock_.Now();
    if (oneOff_ && now >= *oneOff_) {
        const bool inTime = now - *oneOff_ < kOneOffGrace;
        oneOff_.reset();
        if (inTime) return ShutDown();
        // Missed (the machine slept, or the program did not run): dropped.
        host_.ShowShutdownText(L"");
    }
    if (dailyHour_) {
        const auto local = ToLocalTime(now);
        if (local && local->tm_hour == *dailyHour_ && local->tm_min < kDailyMinutes) {
            const std::int64_t slot = (local->tm_year + 1900) * 1000000LL +
                                      (local->tm_mon + 1) * 10000 + local->tm_mday * 100 +
                                      local->tm_hour;
            if (slot != dailyFiredAt_) {
                dailyHour_.reset();
                dailyFiredAt_ = slot;
                return ShutDown();
            }
        }
    }
    if (dailyHour_) {
        host_.ShowShutdownText(DailyShutdownText(*dailyHour_));
    } else if (oneOff_) {
        host_.ShowShutdownText(OneOffShutdownText(*oneOff_));
    }
}

void ShutdownPlan::ShutDown() {
    confirming_ = true;
    const bool confirmed = host_.ConfirmShutdown();
    confirming_ = false;
    StopTimer();
    if (!confirmed) {
        // Nothing stays pending after a cancelled countdown.
        oneOff_.reset();
        dailyHour_.reset();
        host_.ShowShutdownText(L"");
        return;
    }
    // The privilege first: without it nothing is hung up for nothing.
    if (const std::uint32_t error = host_.EnableShutdownPrivilege()) {
        host_.Log(FormatWatcherReport(L"AdjustTokenPrivileges", static_cast<int>(error)));
        return;
    }
    if (host_.ConnectionUp()) host_.HangUpAndWait();
    if (const std::uint32_t error = host_.PowerOff(kShutdownFlags)) {
        host_.Log(FormatWatcherReport(L"ExitWindowsEx", static_cast<int>(error)));
    }
}

}  // namespace hourlink
