// The session core as a tray program lives it: the month moving on while it
// runs, the limits counting the whole month whatever the list shows, and the
// day timer.
#include "core/session/session_core.h"

#include <gtest/gtest.h>

#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fake_network.h"
#include "test_records.h"
#include "time_zone.h"

namespace hourlink {
namespace {

using test::At;
using test::Finished;

class SessionCoreTest : public ::testing::Test {
  protected:
    test::ScopedTimeZone zone_{"CET-1CEST,M3.5.0,M10.5.0/3"};

    SessionCore& Make(std::int64_t now, std::vector<SessionRecord> records = {}) {
        clock.Set(now);
        table.Replace(std::move(records));
        core = std::make_unique<SessionCore>(table, settings, clock, network);
        ListShown();
        return *core;
    }
    // What the view does after each change: the month shown listed again.
    void ListShown(const HistoryFilter& filter = {}) {
        HistoryList& list = core->History();
        list.ComputeWindow();
        list.Fill(filter);
        list.Adjust(settings, list.Month().month);
    }
    // A LAN session from `start` as the watcher reports its start and end.
    ConnectionStatus Status(std::int64_t start) {
        ConnectionStatus s;
        s.SetName("LAN");
        s.SetClientIp("10.0.0.2");
        s.type = 2;
        s.start = static_cast<std::uint32_t>(start);
        s.online = s.active = 1;
        s.sequence = ++sequence;
        return s;
    }
    SessionCore::Change End(ConnectionStatus s, std::int64_t seconds) {
        s.online = s.active = 0;
        s.duration = s.elapsed = static_cast<std::uint32_t>(seconds);
        s.end = s.start + s.duration;
        s.billed = static_cast<std::uint32_t>((seconds + 59) / 60 * 60);
        s.sequence = ++sequence;
        return core->OnConnectionEvent(s, L"LAN");
    }

    MemorySettingsStore settings;
    ManualClock clock;
    RecordTable table;
    test::FakeNetwork net;
    SilentNotifier notifier;
    NetworkInfo network{net, notifier, clock};
    std::unique_ptr<SessionCore> core;
    std::uint32_t sequence = 0;
};

TEST_F(SessionCoreTest, TheCurrentMonthFollowsTheCalendarBetweenSessionsOnly) {
    WriteSetting(settings, settings::kStartDate, 21);
    // Started on 18 March: the March of start day 21, shown.
    SessionCore& c = Make(At(2004, 3, 18, 9), {Finished(At(2004, 3, 18, 8), 3600)});
    EXPECT_EQ(c.History().CurrentMonth(), (YearMonth{2004, 3}));

    // A session from 20 March 23:00 runs past the start day: it keeps counting
    // into March while it runs, and April begins at its end.
    clock.Set(At(2004, 3, 20, 23));
    const ConnectionStatus late = Status(clock.Now());
    c.OnConnectionEvent(late, L"LAN");
    clock.Advance(2 * 3600);
    EXPECT_TRUE(c.OnDayTimer());  // a new day, but the session runs
    EXPECT_EQ(c.History().CurrentMonth(), (YearMonth{2004, 3}));
    EXPECT_TRUE(End(late, 2 * 3600).relist);
    ListShown();
    EXPECT_EQ(c.History().CurrentMonth(), (YearMonth{2004, 4}));
    EXPECT_EQ(c.History().Month(), (YearMonth{2004, 4}));

    // Days later, without a restart: a three-hour session today is today's
    // time and April's, and the list shows it.
    clock.Set(At(2004, 3, 25, 10));
    const ConnectionStatus today = Status(clock.Now());
    c.OnConnectionEvent(today, L"LAN");
    clock.Advance(3 * 3600);
    End(today, 3 * 3600);
    ListShown();
    EXPECT_EQ(c.CurrentFigures(), (AccountingFigures{3 * 3600, 3 * 3600, 3 * 3600}));
    EXPECT_EQ(c.ShownFigures().monthTotal, 3 * 3600);

    // Browsing March keeps March on the list while the day rolls on.
    c.History().SetMonth({2004, 3});
    ListShown();
    clock.Set(At(2004, 3, 26, 0, 0, 5));
    c.OnDayTimer();
    EXPECT_EQ(c.History().Month(), (YearMonth{2004, 3}));
    EXPECT_EQ(c.CurrentFigures().todayTotal, 0);
}

TEST_F(SessionCoreTest, LimitsCountTheWholeMonthWhateverTheListShows) {
    WriteSetting(settings, settings::kHangUp, 1);
    WriteSetting(settings, settings::kLimitTime, 60);
    WriteSetting(settings, settings::kDayLimit, 5);
    // 61 hours last month; today five hours of ADSL before noon.
    SessionCore& c = Make(At(2004, 3, 25, 12), {Finished(At(2004, 2, 10, 8), 61 * 3600),
                                                Finished(At(2004, 3, 25, 6), 5 * 3600, 2)});
    // Browsing February while online starts no countdown...
    c.History().SetMonth({2004, 2});
    ListShown();
    c.OnConnectionEvent(Status(clock.Now()), L"LAN");
    clock.Advance(1);
    SessionCore::Tick tick = c.OnTick();
    ASSERT_EQ(tick.decisions.size(), 1u);  // ...but today's five hours do
    EXPECT_EQ(tick.decisions[0].action, LimitDecision::Action::kConfirmHangUp);
    EXPECT_EQ(tick.dropAlarm, DropAlarmState::kDay);

    // The list filtered to dial-up shows no time today; the day's alarm holds.
    c.History().SetMonth({2004, 3});
    ListShown({"", 1});
    EXPECT_EQ(c.ShownFigures().todayTotal, 0);
    EXPECT_EQ(c.CurrentFigures().todayTotal, 5 * 3600);
    clock.Advance(1);
    tick = c.OnTick();
    EXPECT_TRUE(tick.decisions.empty());  // raised already, not lowered
    EXPECT_TRUE(c.Limits().DayAlarmRaised());
    EXPECT_EQ(tick.texts.month, L"5:00:02");
}

TEST_F(SessionCoreTest, TheAllowanceCountsTheMonthsBytesAndTheRunningSessionsOnce) {
    WriteSetting(settings, settings::kStartDate, 21);
    WriteSetting(settings, settings::kDataLimit, 2);  // 2 MB
    WriteSetting(settings, settings::kAlarmWindow, 1);
    WriteSetting(settings, settings::kWarnShare, 0);
    const auto withBytes = [](SessionRecord r, std::uint32_t received, std::uint32_t sent) {
        r.bytesReceived = received;
        r.bytesSent = sent;
        return r;
    };
    // The period of April runs from 21 March: a session at its first instant
    // belongs to March, as the list has it; 1.5 MB count.
    SessionCore& c = Make(At(2004, 3, 25, 12),
                          {withBytes(Finished(At(2004, 3, 20, 23), 60), 4'000'000, 0),
                           withBytes(Finished(At(2004, 3, 21), 60), 4'000'000, 0),
                           withBytes(Finished(At(2004, 3, 22, 8), 60), 1'000'000, 500'000)});
    EXPECT_EQ(c.CurrentFigures().monthBytes, 1'500'000);
    EXPECT_EQ(c.OfflineTexts().data, L"1.5 MB/0.002 GB");

    net.interfaceRows = {{6, "Eth", 7'000'000, 9'000'000}};
    ConnectionStatus s = Status(clock.Now());
    c.OnConnectionEvent(s, L"LAN");
    std::vector<std::size_t> decisions;
    // 100 KB a second in, 50 KB out: over 2 MB at the fifth second's sample.
    for (int second = 1; second <= 6; ++second) {
        clock.Advance(1);
        SessionCore::Tick tick = c.OnTick();
        decisions.push_back(tick.decisions.size());
        if (second == 5) {
            ASSERT_EQ(tick.decisions.size(), 1u);
            EXPECT_EQ(tick.decisions[0].popupText, L"流量超过设定值0.002 GB");
            EXPECT_EQ(c.MonthBytes(), 2'100'000);
            EXPECT_NE(tick.texts.trayTip.find(L"\r\n流量:2.1 MB/0.002 GB"), std::wstring::npos);
        }
        net.interfaceRows[0].inOctets += 100'000;
        net.interfaceRows[0].outOctets += 50'000;
    }
    EXPECT_EQ(decisions, (std::vector<std::size_t>{0, 0, 0, 0, 1, 0}));
    // A new session in the same month is not alarmed again.
    End(s, 6);
    ListShown();
    c.OnConnectionEvent(Status(clock.Now()), L"LAN");
    for (int second = 1; second <= 3; ++second) {
        clock.Advance(1);
        EXPECT_TRUE(c.OnTick().decisions.empty());
    }
}

TEST_F(SessionCoreTest, TheDayTimerWaitsForTheNextLocalMidnightAcrossSummerTime) {
    SessionCore& c = Make(At(2004, 3, 27, 12));
    EXPECT_EQ(c.MillisecondsToNextDay(), 12u * 3600 * 1000);
    clock.Set(At(2004, 3, 28, 0, 30));  // a day of 23 hours
    EXPECT_EQ(c.MillisecondsToNextDay(), (22u * 3600 + 1800) * 1000);
}

}  // namespace
}  // namespace hourlink
