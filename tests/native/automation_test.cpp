// The weekly schedule, the automatic shutdown and the programs after
// connecting, on a hand-set clock in Central European time (with summer time).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/automation/program_list.h"
#include "core/automation/schedule.h"
#include "core/automation/shutdown_plan.h"
#include "core/base/clock.h"
#include "core/base/time_format.h"
#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "time_zone.h"

namespace hourlink {
namespace {

std::int64_t At(int y, int mo, int d, int h, int mi, int s = 0) {
    return *FromLocalTime(y, mo, d, h, mi, s);
}

class CentralEuropeanTime : public ::testing::Test {
  protected:
    test::ScopedTimeZone zone_{"CET-1CEST,M3.5.0,M10.5.0/3"};
};

// ---- the weekly schedule ----

struct FakeScheduleHost : ScheduleHost {
    bool up = false, hangUpRequested = false, dialing = false, armed = false, timer = false;
    int dials = 0;
    std::wstring text;
    bool ConnectionUp() override { return up; }
    bool HangUpRequested() override { return hangUpRequested; }
    void ClearHangUpRequest() override { hangUpRequested = false; }
    bool DialInProgress() override { return dialing; }
    void DialScheduled() override {
        ++dials;
        armed = true;
    }
    bool ConnectedBySchedule() override { return armed; }
    void SetScheduleTimer(bool running) override { timer = running; }
    void ShowScheduleText(std::wstring_view t) override { text = t; }
};

class ScheduleTest : public CentralEuropeanTime {
  protected:
    // 2024-03-04 is a Monday; `days` are 1 (Monday) to 7.
    void Plan(std::vector<int> days, std::vector<std::pair<std::wstring, std::wstring>> windows) {
        for (int d = 1; d <= 7; ++d)
            store.WriteInt(L"AutoConnent", L"week" + std::to_wstring(d), 0);
        for (int d : days) store.WriteInt(L"AutoConnent", L"week" + std::to_wstring(d), 1);
        for (std::size_t i = 0; i < 4; ++i) {
            const auto n = std::to_wstring(i + 1);
            store.WriteString(L"AutoConnent", L"start" + n,
                              i < windows.size() ? windows[i].first : L"");
            store.WriteString(L"AutoConnent", L"stop" + n,
                              i < windows.size() ? windows[i].second : L"");
        }
    }
    // The timer ticks every 10 s from now until `until`.
    void TickUntil(std::int64_t until) {
        while (clock.Now() < until) {
            clock.Advance(10);
            schedule.OnTimer();
        }
    }
    // The connection the schedule dialled comes up.
    void Connect() {
        host.up = true;
        schedule.OnConnect();
    }

    MemorySettingsStore store;
    ManualClock clock;
    FakeScheduleHost host;
    WeeklySchedule schedule{store, clock, host};
};

TEST_F(ScheduleTest, DialsAtTheFirstTickAtOrAfterTheStartAndHangsUpAtTheStop) {
    Plan({1}, {{L"8:00", L"12:00"}});
    clock.Set(At(2024, 3, 4, 7, 59, 59));
    schedule.Arm();
    EXPECT_TRUE(host.timer);
    EXPECT_EQ(host.text, L"将在2024/03/04 08:00自动启动连接");
    schedule.OnTimer();
    EXPECT_EQ(host.dials, 0);
    clock.Set(At(2024, 3, 4, 8, 0, 0));
    schedule.OnTimer();
    EXPECT_EQ(host.dials, 1);

    Connect();
    clock.Set(At(2024, 3, 4, 11, 59, 59));
    EXPECT_FALSE(schedule.HangUpDue());
    EXPECT_EQ(host.text, L"将在2024/03/04 12:00自动断开连接");
    clock.Set(At(2024, 3, 4, 12, 0, 0));
    EXPECT_TRUE(schedule.HangUpDue());
    EXPECT_FALSE(schedule.HangUpDue());  // once
}

TEST_F(ScheduleTest, AWindowOverMidnightBelongsToTheDayItOpens) {
    // Monday 23:00: open now, until Tuesday 2:00.
    Plan({1}, {{L"22:00", L"2:00"}});
    clock.Set(At(2024, 3, 4, 23, 0));
    schedule.Arm();
    EXPECT_EQ(host.dials, 1);
    Connect();
    EXPECT_EQ(schedule.HangUpTime(), At(2024, 3, 5, 2, 0));

    // Tuesday 1:00, with Monday chosen: still Monday's window, which stops
    // today at 2:00 (not tomorrow).
    WeeklySchedule late{store, clock, host};
    host = {};
    clock.Set(At(2024, 3, 5, 1, 0));
    late.Arm();
    EXPECT_EQ(host.dials, 1);
    host.up = true;
    late.OnConnect();
    EXPECT_EQ(late.HangUpTime(), At(2024, 3, 5, 2, 0));

    // With only Tuesday chosen, Tuesday's window opens in the evening.
    Plan({2}, {{L"22:00", L"2:00"}});
    host = {};
    late.Arm();
    EXPECT_EQ(host.dials, 0);
    ASSERT_TRUE(late.Waiting());
    EXPECT_EQ(late.Waiting()->start, At(2024, 3, 5, 22, 0));
}

TEST_F(ScheduleTest, ATickLateAfterSleepDoesNotDialOutsideTheWindow) {
    Plan({1}, {{L"8:00", L"9:00"}, {L"16:00", L"17:00"}});
    clock.Set(At(2024, 3, 4, 7, 0));
    schedule.Arm();
    clock.Advance(8 * 3600);  // 15:00: the machine slept through 8:00 to 9:00
    schedule.OnTimer();
    EXPECT_EQ(host.dials, 0);
    ASSERT_TRUE(schedule.Waiting());
    EXPECT_EQ(schedule.Waiting()->start, At(2024, 3, 4, 16, 0));
}

TEST_F(ScheduleTest, ARunningMachineConnectsOnLaterChosenDaysAfterMidnight) {
    Plan({1, 3}, {{L"8:00", L"9:00"}});
    clock.Set(At(2024, 3, 4, 10, 0));  // Monday's window is over
    schedule.Arm();
    EXPECT_TRUE(host.timer);
    EXPECT_FALSE(schedule.Waiting());
    for (std::int64_t t = clock.Now(); t < At(2024, 3, 6, 8, 0, 5); t += 10) {
        clock.Set(t);
        schedule.OnTimer();
    }
    EXPECT_EQ(host.dials, 1);  // Wednesday, not Tuesday
    EXPECT_EQ(schedule.HangUpTime(), std::nullopt);
    Connect();
    EXPECT_EQ(schedule.HangUpTime(), At(2024, 3, 6, 9, 0));
}

TEST_F(ScheduleTest, LocalTimesFollowSummerTime) {
    // Sunday 2024-03-31 loses 2:00 to 3:00; the night to Sunday 2024-10-27
    // has 2:00 to 3:00 twice.
    Plan({7}, {{L"8:00", L"9:00"}});
    clock.Set(At(2024, 3, 31, 0, 30));
    schedule.Arm();
    EXPECT_EQ(schedule.Waiting()->start, 1711864800);  // 06:00 UTC is 08:00 summer time
    Plan({6}, {{L"22:00", L"3:00"}});
    clock.Set(At(2024, 10, 26, 22, 30));
    schedule.Arm();
    Connect();
    EXPECT_EQ(*schedule.HangUpTime() - At(2024, 10, 26, 22, 0), 6 * 3600);
}

TEST_F(ScheduleTest, ASavedPlanIsArmedAfreshAndReadAgainAtTheTime) {
    Plan({1}, {{L"8:00", L"12:00"}});
    clock.Set(At(2024, 3, 4, 7, 0));
    schedule.Arm();
    Plan({2}, {{L"8:00", L"12:00"}});  // Monday unticked
    schedule.OnPlanSaved();
    EXPECT_FALSE(schedule.Waiting());
    // Changed behind its back, the plan is still read at the start time.
    Plan({1}, {{L"8:00", L"12:00"}});
    schedule.Arm();
    Plan({1}, {});
    clock.Set(At(2024, 3, 4, 8, 0));
    schedule.OnTimer();
    EXPECT_EQ(host.dials, 0);
    EXPECT_FALSE(schedule.Waiting());
}

TEST_F(ScheduleTest, TheUsersHangUpAndARunningAttemptHoldTheDialBack) {
    // Window 1 opens later than window 2: the earlier opening is waited for.
    Plan({1}, {{L"20:00", L"21:00"}, {L"9:00", L"10:00"}, {L"11:00", L"12:00"}});
    clock.Set(At(2024, 3, 4, 9, 30));
    host.hangUpRequested = true;  // hung up inside window 2
    schedule.Arm();
    EXPECT_EQ(host.dials, 0);
    EXPECT_EQ(schedule.Waiting()->start, At(2024, 3, 4, 11, 0));
    clock.Set(At(2024, 3, 4, 11, 0));
    host.dialing = true;  // a dial of the user's is running
    schedule.OnTimer();
    EXPECT_EQ(host.dials, 0);
    host.dialing = false;
    clock.Advance(10);
    schedule.OnTimer();
    EXPECT_EQ(host.dials, 1);
    EXPECT_FALSE(host.hangUpRequested);  // a new window opened
}

TEST(ScheduleTimeText, OnlyHoursAndTwoDigitMinutesAreAccepted) {
    const std::pair<const wchar_t*, std::optional<std::wstring>> cases[] = {
        {L"7:05", L"7:05"}, {L"07:05", L"7:05"}, {L" 23:30 ", L"23:30"}, {L"0:00", L"0:00"},
        {L"", L""},         {L"   ", L""},       {L"24:00", {}},         {L"7.30", {}},
        {L"123:45", {}},    {L"7:5", {}},        {L"7:60", {}},          {L":30", {}},
        {L"a:30", {}},      {L"7:3a", {}},       {L"-1:30", {}},         {L"7:05:00", {}},
    };
    for (const auto& [text, stored] : cases) EXPECT_EQ(NormalizeScheduleTime(text), stored) << text;
}

TEST(SchedulePlanSetting, SavingThePlanSwitchesTheIdleDisconnectOff) {
    MemorySettingsStore store;
    store.WriteInt(L"Advance", L"idelFlag", 1);
    WriteSchedulePlan(store, SchedulePlan{});
    EXPECT_EQ(store.ReadInt(L"Advance", L"idelFlag", -1), 0);
}

// When things go wrong: a dial that fails, a connection of the user's, a plan
// edited while connected, a clock set back and a hang-up that does not take.

TEST_F(ScheduleTest, AFailedDialLeavesTheDaysLaterWindowsAndNoUserConnectionIsHungUp) {
    Plan({1}, {{L"8:00", L"9:00"}, {L"14:00", L"15:00"}});
    clock.Set(At(2024, 3, 4, 7, 59, 55));
    schedule.Arm();
    TickUntil(At(2024, 3, 4, 8, 0));
    ASSERT_EQ(host.dials, 1);  // ...and it fails
    EXPECT_EQ(host.text, L"将在2024/03/04 14:00自动启动连接");

    // At 10:00 the user connects by hand: not the schedule's to end.
    clock.Set(At(2024, 3, 4, 10, 0));
    host.armed = false;  // the user's dial
    Connect();
    EXPECT_FALSE(schedule.HangUpDue());
    host.up = false;
    schedule.OnDisconnect();

    TickUntil(At(2024, 3, 4, 14, 0));
    EXPECT_EQ(host.dials, 2);
    // The scheduled attempt connects; RAS may say so after the address came.
    host.armed = false;
    host.up = true;
    schedule.OnConnect();
    clock.Set(At(2024, 3, 4, 15, 0));
    EXPECT_FALSE(schedule.HangUpDue());
    host.armed = true;
    EXPECT_TRUE(schedule.HangUpDue());
}

TEST_F(ScheduleTest, AWindowWhoseDialFailedIsNotDialledAgainByAListingOrMidnight) {
    Plan({1}, {{L"22:00", L"2:00"}});
    clock.Set(At(2024, 3, 4, 22, 0));
    schedule.Arm();
    ASSERT_EQ(host.dials, 1);  // ...its attempts all fail
    schedule.Arm();            // the history is listed again
    TickUntil(*FromLocalTime(2024, 3, 5, 0, 30, 0));
    EXPECT_EQ(host.dials, 1);
    // A connection that ends inside the window has it dialled again.
    host.armed = false;  // the user's dial
    Connect();
    host.up = false;
    schedule.OnDisconnect();
    EXPECT_EQ(host.dials, 2);
}

TEST_F(ScheduleTest, AnEditedWindowKeepsItsConnectionsHangUp) {
    const struct {
        const wchar_t* start;
        const wchar_t* stop;
        std::int64_t hangUp;
    } edits[] = {
        {L"7:30", L"12:00", At(2024, 3, 4, 12, 0)},
        {L"8:30", L"11:00", At(2024, 3, 4, 11, 0)},
        {L"8:00", L"1:00", *FromLocalTime(2024, 3, 5, 1, 0, 0)},
    };
    for (const auto& edit : edits) {
        WeeklySchedule s{store, clock, host};
        Plan({1}, {{L"8:00", L"12:00"}});
        clock.Set(At(2024, 3, 4, 8, 0));
        s.Arm();
        host.up = host.armed = true;
        s.OnConnect();
        clock.Set(At(2024, 3, 4, 9, 0));
        Plan({1}, {{edit.start, edit.stop}});
        s.OnPlanSaved();
        EXPECT_EQ(s.HangUpTime(), edit.hangUp) << edit.start << L"-" << edit.stop;
        host = {};
    }
}

TEST_F(ScheduleTest, TheWaitingTextGoesWhenNothingIsWaitedFor) {
    for (const bool clearWindows : {true, false}) {
        Plan({1}, {{L"8:00", L"9:00"}});
        clock.Set(At(2024, 3, 4, 7, 0));
        schedule.Arm();
        ASSERT_EQ(host.text, L"将在2024/03/04 08:00自动启动连接");
        if (clearWindows) {
            Plan({1}, {});
        } else {
            Plan({}, {{L"8:00", L"9:00"}});  // Monday unticked
        }
        schedule.OnPlanSaved();
        EXPECT_EQ(host.text, L"") << clearWindows;
    }
    // Nor does it stay after the day's last dial.
    Plan({1}, {{L"8:00", L"9:00"}});
    schedule.Arm();
    TickUntil(At(2024, 3, 4, 8, 0));
    ASSERT_EQ(host.dials, 1);
    EXPECT_EQ(host.text, L"");
}

TEST_F(ScheduleTest, AClockSetBackIsPlannedAgain) {
    Plan({1}, {{L"8:00", L"9:00"}});
    clock.Set(At(2024, 3, 4, 9, 30));
    schedule.Arm();  // the day's window is over: the timer waits for midnight
    clock.Set(At(2024, 3, 4, 7, 0));
    schedule.OnTimer();
    ASSERT_TRUE(schedule.Waiting());
    EXPECT_EQ(schedule.Waiting()->start, At(2024, 3, 4, 8, 0));
    TickUntil(At(2024, 3, 4, 8, 0));
    EXPECT_EQ(host.dials, 1);
}

TEST_F(ScheduleTest, AHangUpThatDidNotTakeIsTriedAgainEveryTenSeconds) {
    Plan({1}, {{L"8:00", L"9:00"}});
    clock.Set(At(2024, 3, 4, 8, 0));
    schedule.Arm();
    Connect();
    clock.Set(At(2024, 3, 4, 9, 0));
    std::vector<int> tries;
    for (int second = 0; second <= 25; ++second) {
        if (schedule.HangUpDue()) tries.push_back(second);
        clock.Advance(1);
    }
    EXPECT_EQ(tries, (std::vector<int>{0, 10, 20}));
}

// ---- the automatic shutdown ----

struct FakeShutdownHost : ShutdownHost {
    bool timed = false, up = false, timer = false;
    std::deque<bool> answers;  // the countdowns' outcomes
    std::uint32_t privilegeError = 0, powerOffError = 0;
    std::wstring text;
    std::vector<std::string> calls;
    std::vector<std::wstring> logs;
    bool ConnectionTimed() override { return timed; }
    bool ConnectionUp() override { return up; }
    bool StartShutdownTimer() override { return timer = true; }
    void StopShutdownTimer() override { timer = false; }
    void ShowShutdownText(std::wstring_view t) override { text = t; }
    bool ConfirmShutdown() override {
        calls.push_back("countdown");
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) answers.pop_front();
        return yes;
    }
    std::uint32_t EnableShutdownPrivilege() override {
        calls.push_back("privilege");
        return privilegeError;
    }
    void HangUpAndWait() override { calls.push_back("hang up"); }
    std::uint32_t PowerOff(unsigned flags) override {
        calls.push_back("power off " + std::to_string(flags));
        return powerOffError;
    }
    void Log(std::wstring t) override {
        calls.push_back("log");
        logs.push_back(std::move(t));
    }
};

class ShutdownTest : public CentralEuropeanTime {
  protected:
    void Stored(int mode, int value) {
        store.WriteInt(L"Shutdown", L"Save", 1);
        store.WriteInt(L"Shutdown", L"RadioEscap", mode);
        store.WriteInt(L"Shutdown", mode == 0 ? L"escap" : L"idel", value);
    }
    int Countdowns() const {
        return static_cast<int>(std::count(host.calls.begin(), host.calls.end(), "countdown"));
    }

    MemorySettingsStore store;
    ManualClock clock;
    FakeShutdownHost host;
    ShutdownPlan plan{store, clock, host};
};

TEST_F(ShutdownTest, ADailyPlanFiresInTheFirstThreeMinutesOfItsHourOnly) {
    Stored(1, 23);
    for (const auto& [h, m, s, fires] :
         {std::tuple{22, 59, 59, false}, {23, 0, 0, true}, {23, 2, 59, true}, {23, 3, 0, false}}) {
        FakeShutdownHost fresh;
        ShutdownPlan p{store, clock, fresh};
        clock.Set(At(2024, 3, 4, h, m, s));
        p.ApplyStored();
        EXPECT_EQ(fresh.calls.size() > 0, fires) << h << ":" << m << ":" << s;
        if (!fires) {
            EXPECT_EQ(fresh.text, L"将在23点自动关机");
        }
    }
}

TEST_F(ShutdownTest, ADailyHourFiresOnceADateAndALaterHourArmedThatDateStillFires) {
    Stored(1, 8);
    clock.Set(At(2024, 3, 4, 8, 0, 10));
    plan.ApplyStored();
    EXPECT_EQ(Countdowns(), 1);
    EXPECT_FALSE(plan.DailyHour());  // cancelled: nothing pending
    EXPECT_EQ(host.text, L"");
    clock.Set(At(2024, 3, 4, 8, 1));  // the history is listed again
    plan.ApplyStored();
    plan.ArmFromDialog({1, 0, 8, 0, false});
    EXPECT_EQ(Countdowns(), 1);

    plan.ArmFromDialog({1, 0, 22, 0, false});
    EXPECT_EQ(host.text, L"将在22点自动关机");
    clock.Set(At(2024, 3, 4, 22, 0, 5));
    plan.Check();
    EXPECT_EQ(Countdowns(), 2);
    clock.Set(At(2024, 3, 5, 8, 0));
    plan.ApplyStored();
    EXPECT_EQ(Countdowns(), 3);
}

TEST_F(ShutdownTest, AOneOffMomentFiresWithin120SecondsOrIsDropped) {
    clock.Set(At(2024, 3, 4, 10, 0));
    plan.ArmFromDialog({0, 2, 0, 0, false});
    EXPECT_TRUE(host.timer);
    EXPECT_EQ(host.text, L"将在2024/03/04 12:00自动关机");
    clock.Set(At(2024, 3, 4, 12, 1, 59));
    host.answers = {true};
    host.up = true;
    plan.Check();
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"countdown", "privilege", "hang up", "power off 25"}));
    EXPECT_FALSE(host.timer);

    host.calls.clear();
    clock.Set(At(2024, 3, 4, 10, 0));
    plan.ArmFromDialog({0, 2, 0, 0, false});
    clock.Set(At(2024, 3, 4, 12, 2, 0));  // the machine slept through it
    plan.Check();
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(plan.OneOffPending());
    EXPECT_EQ(host.text, L"");

    // A moment in the past arms nothing.
    plan.ArmFromDialog({2, 0, 0, clock.Now() - 1, false});
    EXPECT_FALSE(plan.OneOffPending());
}

TEST_F(ShutdownTest, FailuresAreLoggedAndWithoutThePrivilegeNothingIsHungUp) {
    clock.Set(At(2024, 3, 4, 10, 0));
    host.up = true;
    host.answers = {true, true};
    host.privilegeError = 1300;
    plan.ArmFromDialog({2, 0, 0, clock.Now() + 1, false});
    clock.Advance(1);
    plan.Check();
    EXPECT_EQ(host.calls, (std::vector<std::string>{"countdown", "privilege", "log"}));
    host.privilegeError = 0;
    host.powerOffError = 5;
    plan.ArmFromDialog({2, 0, 0, clock.Now() + 1, false});
    clock.Advance(1);
    plan.Check();
    EXPECT_EQ(host.logs, (std::vector<std::wstring>{L"AdjustTokenPrivileges失败有错误 1300\n",
                                                    L"ExitWindowsEx失败有错误 5\n"}));
}

TEST_F(ShutdownTest, TheTimerChecksOnlyWhileNoSessionTickDoes) {
    clock.Set(At(2024, 3, 4, 10, 0));
    host.timed = true;
    plan.ArmFromDialog({1, 0, 23, 0, false});
    EXPECT_FALSE(host.timer);
    host.timed = false;
    plan.StartTimer();  // the disconnect
    EXPECT_TRUE(host.timer && plan.TimerRunning());
    plan.OnSessionTickStarted();
    EXPECT_FALSE(host.timer);
}

TEST_F(ShutdownTest, HoursFromNowStayWithin2037) {
    clock.Set(At(2037, 12, 31, 20, 30));
    EXPECT_EQ(MaxShutdownHours(clock.Now()), 3u);
    plan.ArmFromDialog({0, 4, 0, 0, false});
    EXPECT_FALSE(plan.OneOffPending());
    Stored(0, 24 * 366 * 10);
    clock.Set(At(2030, 1, 1, 0, 0));
    plan.ApplyStored();  // ten years from 2030 does not fit
    EXPECT_FALSE(plan.OneOffPending());
}

TEST_F(ShutdownTest, TheMostHoursTheDialogTakesReadBackAndNoHourCountMeansNow) {
    clock.Set(At(2024, 3, 4, 10, 0));
    const std::uint32_t most = MaxShutdownHours(clock.Now());
    WriteShutdownSettings(store, {0, most, 0, 0, true});
    plan.ApplyStored();
    EXPECT_EQ(plan.OneOffTime(), clock.Now() + std::int64_t{most} * 3600);

    // Out of range, negative or missing: nothing is armed, no countdown.
    for (const int stored : {static_cast<int>(most) + 1, 97'000, -1, 0}) {
        ShutdownPlan fresh{store, clock, host};
        Stored(0, stored);
        if (stored == 0) store.Remove(L"Shutdown", L"escap");
        fresh.ApplyStored();
        EXPECT_FALSE(fresh.OneOffPending()) << stored;
    }
    EXPECT_EQ(Countdowns(), 0);
}

// ---- programs after connecting ----

struct FakeLauncher : ProgramLauncher {
    std::vector<std::wstring> lines;
    std::vector<std::string> actions;
    Started Launch(const std::wstring& line) override {
        lines.push_back(line);
        if (line.find(L"missing") != std::wstring::npos) return {2, 0};
        return {0, lines.size()};
    }
    void AskToClose(std::uintptr_t p) override { actions.push_back("close " + std::to_string(p)); }
    void Release(std::uintptr_t p) override { actions.push_back("release " + std::to_string(p)); }
};

TEST(ProgramList, StoredPathsSplitJoinAndAddByTheCommaRules) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(SplitProgramList(L""), V{});
    EXPECT_EQ(SplitProgramList(L","), V{});
    EXPECT_EQ(SplitProgramList(L"C:\\a.exe,,D:\\b c.exe,"), (V{L"C:\\a.exe", L"D:\\b c.exe"}));
    EXPECT_EQ(JoinProgramList({L"C:\\a.exe", L"D:\\b.exe"}), L"C:\\a.exe,D:\\b.exe");
    EXPECT_EQ(JoinProgramList({}), L"");
    EXPECT_EQ(AddProgram({L"C:\\a.exe"}, L"D:\\b.exe"), (V{L"C:\\a.exe", L"D:\\b.exe"}));
    EXPECT_EQ(AddProgram({L"C:\\x\\a.exe"}, L"a.exe"), V{L"C:\\x\\a.exe"});  // already there
    EXPECT_EQ(AddProgram({}, L"C:\\a,b.exe"), std::nullopt);
    EXPECT_EQ(ProgramCommandLine(L"C:\\a.exe"), L"C:\\a.exe");
    EXPECT_EQ(ProgramCommandLine(L"C:\\Program Files\\b.exe"), L"\"C:\\Program Files\\b.exe\"");
    EXPECT_EQ(ProgramCommandLine(L"\"C:\\My Apps\\c.exe\" -x"), L"\"C:\\My Apps\\c.exe\" -x");
}

TEST(ProgramStarter, ReportsEveryFailureAndEndsOnlyWhatItStarted) {
    MemorySettingsStore store;
    FakeLauncher launcher;
    std::vector<std::wstring> reports;
    ProgramStarter starter(store, launcher, [&](std::wstring t) { reports.push_back(t); });
    store.WriteString(L"RunProg", L"path", L",");
    starter.StartPrograms();
    EXPECT_TRUE(launcher.lines.empty());

    store.WriteString(L"RunProg", L"path", L"C:\\missing.exe,C:\\Tools\\a b.exe,D:\\missing2.exe");
    starter.StartPrograms();
    EXPECT_EQ(launcher.lines[1], L"\"C:\\Tools\\a b.exe\"");
    EXPECT_EQ(reports, (std::vector<std::wstring>(2, L"执行程序失败. Error Code:2")));
    starter.EndPrograms();  // not asked for: the handle is only let go
    EXPECT_EQ(launcher.actions, std::vector<std::string>{"release 2"});

    store.WriteInt(L"RunProg", L"EndAtDisconnect", 1);
    launcher.actions.clear();
    starter.StartPrograms();
    starter.EndPrograms();
    EXPECT_EQ(launcher.actions, (std::vector<std::string>{"close 5", "release 5"}));
}

}  // namespace
}  // namespace hourlink
