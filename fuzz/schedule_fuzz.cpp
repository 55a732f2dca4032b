// libFuzzer target for the weekly plan: its time texts as the settings hold
// them, and the schedule run over them on a clock that jumps about, in time
// zones with and without summer time.
//
// Input: 16 bytes of control, then text lines (one byte a character): the
// four start and stop times in turn. Control: [0] the chosen weekdays (bit 0
// Monday), [1] the time zone, [2..5] the start time, [6..15] the steps.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/automation/schedule.h"
#include "core/base/byte_order.h"
#include "core/base/clock.h"
#include "core/base/time_format.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fuzz_support.h"

using namespace hourlink;

namespace {

struct Zone {
    const char* tz;
    bool summerTime;
};
constexpr Zone kZones[] = {
    {"UTC0", false},
    {"CST-8", false},
    {"EST5EDT,M3.2.0,M11.1.0", true},
    // Summer time begins and ends at midnight: some days have no 0:00.
    {"<-04>4<-03>,M9.1.6/24,M4.1.6/24", true},
    // A half-hour shift.
    {"<+1030>-10:30<+11>-11,M10.1.0,M4.1.0", true},
};

constexpr std::int64_t kSteps[] = {1, 10, 59, 600, 3599, 3600, 86399, 86400, 7 * 86400};

void CheckTimeText(std::wstring_view text) {
    const std::optional<int> minutes = ParseScheduleTime(text);
    if (minutes) FUZZ_REQUIRE(*minutes >= 0 && *minutes < 24 * 60);
    const std::optional<std::wstring> stored = NormalizeScheduleTime(text);
    FUZZ_REQUIRE(stored.has_value() ==
                 (minutes.has_value() || text.find_first_not_of(L" \t") == std::wstring::npos));
    if (stored && minutes) {
        FUZZ_REQUIRE(ParseScheduleTime(*stored) == minutes);
        FUZZ_REQUIRE(NormalizeScheduleTime(*stored) == stored);
    }
}

// The frame's side, as far as the schedule can see it.
class Host final : public ScheduleHost {
  public:
    explicit Host(std::function<void()> onDial) : onDial_(std::move(onDial)) {}
    bool ConnectionUp() override { return up; }
    bool HangUpRequested() override { return hungUp; }
    void ClearHangUpRequest() override { hungUp = false; }
    bool DialInProgress() override { return dialing; }
    void DialScheduled() override {
        // Never a second attempt, never while connected.
        FUZZ_REQUIRE(!up && !dialing);
        onDial_();
        dialing = true;
        armed = true;
    }
    bool ConnectedBySchedule() override { return up && armed; }
    void SetScheduleTimer(bool running) override { timer = running; }
    // Empty only when the schedule takes back a moment it showed.
    void ShowScheduleText(std::wstring_view text) override {
        FUZZ_REQUIRE(text.empty() || text.starts_with(L"将在"));
    }

    bool up = false;
    bool hungUp = false;
    bool dialing = false;
    bool armed = false;
    bool timer = false;

  private:
    std::function<void()> onDial_;
};

// Whether a window of the plan is open at `now` by the local clock: one that
// opened today on a chosen day, or yesterday and runs past midnight.
bool PlanOpenAt(std::int64_t now, unsigned days, const std::vector<std::optional<int>>& times) {
    const std::optional<std::tm> tm = ToLocalTime(now);
    if (!tm) return false;
    const int minute = tm->tm_hour * 60 + tm->tm_min;
    const int today = (tm->tm_wday + 6) % 7;  // Monday 0
    const bool chosenToday = (days >> today & 1) != 0;
    const bool chosenYesterday = (days >> ((today + 6) % 7) & 1) != 0;
    for (std::size_t i = 0; i + 1 < times.size(); i += 2) {
        if (!times[i] || !times[i + 1] || *times[i] == *times[i + 1]) continue;
        const int start = *times[i];
        const int stop = *times[i + 1];
        if (start < stop && chosenToday && start <= minute && minute < stop) return true;
        if (start > stop &&
            ((chosenToday && minute >= start) || (chosenYesterday && minute < stop))) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 16) return 0;
    std::vector<std::wstring> lines(1);
    for (std::size_t i = 16; i < size; ++i) {
        if (data[i] == '\n') {
            lines.emplace_back();
        } else {
            lines.back() += static_cast<wchar_t>(data[i]);
        }
    }
    for (const std::wstring& line : lines) CheckTimeText(line);

    const unsigned days = data[0] & 0x7F;
    const Zone& zone = kZones[data[1] % std::size(kZones)];
    setenv("TZ", zone.tz, 1);
    tzset();
    MemorySettingsStore store;
    std::vector<std::optional<int>> times;
    for (std::size_t i = 0; i < 7; ++i) {
        WriteSetting(store, settings::kWeekDays[i], static_cast<int>(days >> i & 1));
    }
    for (std::size_t i = 0; i < 8; ++i) {
        const std::wstring text = i < lines.size() ? lines[i] : L"";
        WriteSetting(store,
                     i % 2 ? settings::kScheduleStops[i / 2] : settings::kScheduleStarts[i / 2],
                     text);
        times.push_back(ParseScheduleTime(text));
    }

    ManualClock clock(LoadU32(data + 2));
    int dials = 0;
    // A window is dialled once until a connection ends: a later Arm in the
    // same window (a listing, a plan saved) does not start its attempts again.
    bool dialledSinceDisconnect = false;
    Host host([&] {
        // By the local clock the plan has a window open now (with summer
        // time a window may begin or end an hour off its text).
        if (!zone.summerTime) FUZZ_REQUIRE(PlanOpenAt(clock.Now(), days, times));
        ++dials;
        dialledSinceDisconnect = true;
    });
    WeeklySchedule schedule(store, clock, host);
    const auto disconnect = [&] {
        dialledSinceDisconnect = false;
        schedule.OnDisconnect();
    };
    // Armed while offline, the schedule dials at once when a window is open,
    // unless the user hung up in it or an attempt is running.
    const auto arm = [&] {
        const int before = dials;
        const bool due = !zone.summerTime && !host.up && !host.hungUp && !host.dialing &&
                         !dialledSinceDisconnect && PlanOpenAt(clock.Now(), days, times);
        schedule.Arm();
        if (due) FUZZ_REQUIRE(dials == before + 1);
    };
    arm();
    for (std::size_t i = 6; i < 16; ++i) {
        switch (data[i] & 7) {
            case 0:  // time passes; the timer fires if it runs
                clock.Advance(kSteps[(data[i] >> 3) % std::size(kSteps)]);
                if (host.timer) schedule.OnTimer();
                break;
            case 1:  // the attempt connects
                if (host.dialing) {
                    host.dialing = false;
                    host.up = true;
                    schedule.OnConnect();
                }
                break;
            case 2:  // the attempt fails for good
                host.dialing = false;
                host.armed = false;
                arm();
                break;
            case 3:  // a second of the timed session
                if (host.up && schedule.HangUpDue()) {
                    host.up = false;
                    host.armed = false;
                    disconnect();
                }
                break;
            case 4:  // the user hangs up
                if (host.up) {
                    host.up = false;
                    host.armed = false;
                    host.hungUp = true;
                    disconnect();
                }
                break;
            case 5:  // the user saves the plan with a window changed
                WriteSetting(store, settings::kScheduleStops[(data[i] >> 3) & 3],
                             lines.size() > 8 ? lines[8] : L"");
                times[((data[i] >> 3) & 3) * 2 + 1] =
                    ParseScheduleTime(lines.size() > 8 ? lines[8] : L"");
                schedule.OnPlanSaved();
                break;
            case 6:  // a connection of the user's own comes and goes
                host.up = !host.up && !host.dialing;
                if (!host.up) disconnect();
                break;
            default:
                clock.Advance(-static_cast<std::int64_t>(data[i] >> 3) *
                              60);  // the clock is set back
                if (host.timer) schedule.OnTimer();
                break;
        }
        if (const auto waiting = schedule.Waiting()) {
            FUZZ_REQUIRE(waiting->window >= 1 && waiting->window <= 4);
            FUZZ_REQUIRE(waiting->start < waiting->stop);
        }
    }
    return 0;
}
