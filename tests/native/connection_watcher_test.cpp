// The watcher's decisions on a scripted network, with a real record file.
#include "core/net/connection_watcher.h"

#include <gtest/gtest.h>

#include "core/base/byte_order.h"
#include "core/records/record_maintenance.h"
#include "core/settings/memory_settings_store.h"
#include "fake_network.h"
#include "test_support.h"

namespace hourlink {
namespace {

using test::FakeNetwork;

constexpr std::int64_t kT0 = 1'765'000'000;  // December 2025

class RecordingEvents final : public WatcherEvents {
  public:
    void SessionStarted(const ConnectionStatus& s) override {
        started.push_back(s);
        calls.push_back("started");
    }
    void SessionEnded(const ConnectionStatus& s) override {
        ended.push_back(s);
        calls.push_back("ended");
    }
    void RecordsLoaded() override { calls.push_back("loaded"); }
    void Log(std::wstring text) override { logs.push_back(std::move(text)); }
    void PlaySound(std::wstring_view file) override {
        calls.push_back(std::string(file.begin(), file.end()));
    }
    void StartPrograms() override { calls.push_back("programs"); }
    void EndPrograms() override { calls.push_back("end programs"); }
    // Time passes while the watcher pauses between its reports.
    void Pause(int milliseconds) override {
        if (clock) clock->Advance(milliseconds / 1000);
    }

    ManualClock* clock = nullptr;
    std::vector<ConnectionStatus> started, ended;
    std::vector<std::string> calls;
    std::vector<std::wstring> logs;
};

// One run of the program: a watcher over the record file in `dir`, with the
// start-up recovery the program installs.
struct ProgramRun {
    ProgramRun(FakeNetwork& net, const test::TempDir& dir, ManualClock& clock,
               MemorySettingsStore& settings)
        : info(net, notifier, clock),
          doc(files, clock, notifier),
          watcher(info, doc, table, settings, clock, events),
          maintenance(files, clock, settings, notifier) {
        events.clock = &clock;
        watcher.SetStartupRecovery(maintenance.StartupRecovery());
        watcher.OpenRecordFile(dir.WinPath("adsl.bs"));
    }
    std::vector<SessionRecord> Records() {
        std::vector<SessionRecord> out;
        for (std::uint32_t i = 0; i < doc.RecordCount(); ++i) out.push_back(*doc.GetRecord(i));
        return out;
    }

    test::RecordingNotifier notifier;
    test::FaultyFileSystem files;
    NetworkInfo info;
    CFixLenRecDoc doc;
    RecordTable table;
    RecordingEvents events;
    ConnectionWatcher watcher;
    RecordMaintenance maintenance;
};

SessionRecord OpenRecord(std::int64_t start) {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = static_cast<std::uint32_t>(start);
    r.SetClientIp("61.2.3.4");
    return r;
}

class WatcherTest : public ::testing::Test {
  protected:
    void UpRas(const std::string& name, RasHandle handle, const std::string& ip) {
        net.connections = {{handle, name}};
        net.pppAddresses[handle] = {0, ip};
        net.adapters = {{23, "WAN (PPP/SLIP) Interface", ip, 0, ""}};
    }
    void DownRas() {
        net.connections.clear();
        net.adapters.clear();
    }

    FakeNetwork net;
    test::TempDir dir;
    ManualClock clock{kT0};
    MemorySettingsStore settings;
};

TEST_F(WatcherTest, RasSessionWinsIsRecordedAndEndsWhenThePppAddressGoes) {
    net.SetUpLan();
    net.windows = {{1, "EnterNet - Connected to ISP"}};
    net.entries = {{"ADSL", "PPPoE", "WAN Miniport (PPPOE)", ""}};
    UpRas("ADSL", 0x77, "58.40.1.2");
    net.statistics[0x77] = {0, 0, 0, 30'000};  // up for 30 s when we start

    ProgramRun run(net, dir, clock, settings);
    run.watcher.Start();

    EXPECT_EQ(run.events.calls,
              (std::vector<std::string>{"loaded", "started", "conn.wav", "programs"}));
    const ConnectionStatus s = run.watcher.Status();
    EXPECT_EQ(s.Name(), "ADSL");
    EXPECT_EQ(s.ClientIp(), "58.40.1.2");
    EXPECT_EQ(s.type, 2);  // from the phonebook entry
    EXPECT_EQ(s.start, kT0 - 30);
    EXPECT_EQ(s.timeFromRas, 1u);
    EXPECT_EQ(s.continuation, 0);
    EXPECT_TRUE(run.watcher.IsRasSession());
    EXPECT_EQ(run.watcher.RasConnection(), 0x77u);

    auto records = run.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].marker, kRecordMarker);
    EXPECT_EQ(records[0].Name(), "ADSL");
    EXPECT_EQ(records[0].start, kT0 - 30);
    EXPECT_EQ(records[0].type, 2);
    EXPECT_TRUE(records[0].IsOpen());

    // An address change while the PPP adapter keeps its address: still up.
    clock.Advance(100);
    run.watcher.OnAddressChange();
    EXPECT_EQ(run.events.ended.size(), 0u);

    // The address is gone at the sixth of the eleven checks.
    net.adapterScript.assign(5, net.adapters);
    net.adapterScript.push_back({});
    run.watcher.SetElapsed(161);
    run.watcher.SetTraffic(512000, 123456, 7890);
    net.adapterQueries = 0;
    run.watcher.OnAddressChange();
    EXPECT_EQ(net.adapterQueries, 6);
    ASSERT_EQ(run.events.ended.size(), 1u);
    EXPECT_EQ(run.events.ended[0].online, 0u);
    // The events are numbered, so the frame can tell an end from a late start.
    EXPECT_EQ(run.events.started[0].sequence, 1u);
    EXPECT_EQ(run.events.ended[0].sequence, 2u);
    EXPECT_EQ(run.events.ended[0].duration, 161u);
    EXPECT_EQ(run.events.ended[0].billed, 180u);
    // The frame hears of the end before the sound plays.
    EXPECT_EQ(std::vector<std::string>(run.events.calls.end() - 3, run.events.calls.end()),
              (std::vector<std::string>{"ended", "disconn.wav", "end programs"}));

    records = run.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].duration, 161);
    EXPECT_EQ(records[0].end, kT0 - 30 + 161);
    EXPECT_EQ(records[0].billed, 180);
    EXPECT_EQ(records[0].lineSpeed, 512000u);
    EXPECT_EQ(records[0].bytesReceived, 123456u);
    EXPECT_EQ(records[0].bytesSent, 7890u);
    EXPECT_EQ(records[0].ClientIp(), "58.40.1.2");
    EXPECT_FALSE(run.watcher.IsActive());
}

TEST_F(WatcherTest, ConnectionUpAtStartIsBackdatedOnNtOnly) {
    UpRas("Dial", 5, "61.2.3.4");
    net.statistics[5] = {0, 0, 0, 3600'000};
    {
        ProgramRun run(net, dir, clock, settings);
        run.watcher.Start();
        EXPECT_EQ(run.watcher.Status().start, kT0 - 3600);
        EXPECT_EQ(run.watcher.Status().timeFromRas, 1u);
        EXPECT_EQ(run.watcher.Status().continuation, 0);
    }
    net.ntFamily = false;
    test::TempDir other;
    ProgramRun run(net, other, clock, settings);
    run.watcher.Start();
    EXPECT_EQ(run.watcher.Status().start, kT0);
    EXPECT_EQ(run.watcher.Status().timeFromRas, 0u);
    EXPECT_EQ(run.watcher.Status().continuation, 1);  // up before we started
    EXPECT_EQ(run.Records().at(0).continuation, 1);

    // A connection that comes up later in the run is no continuation.
    DownRas();
    run.watcher.OnAddressChange();
    clock.Advance(600);
    UpRas("Dial", 6, "61.2.3.5");
    run.watcher.OnAddressChange();
    EXPECT_EQ(run.watcher.Status().continuation, 0);
    EXPECT_EQ(run.Records().size(), 2u);
}

TEST_F(WatcherTest, LanIsTimedOnlyWhenAllowed) {
    net.SetUpLan("192.168.1.20", "192.168.1.1");
    settings.WriteInt(L"Advance", L"localFlag", 0);
    {
        ProgramRun run(net, dir, clock, settings);
        run.watcher.Start();
        EXPECT_FALSE(run.watcher.IsActive());
        EXPECT_EQ(run.events.calls, std::vector<std::string>{"loaded"});
        EXPECT_EQ(run.Records().size(), 0u);
    }

    settings.Remove(L"Advance", L"localFlag");  // absent means allowed
    ProgramRun run(net, dir, clock, settings);
    run.watcher.Start();
    ASSERT_TRUE(run.watcher.IsActive());
    const ConnectionStatus s = run.watcher.Status();
    EXPECT_EQ(s.Name(), "LAN Connection");
    EXPECT_EQ(s.ClientIp(), "192.168.1.20");
    EXPECT_EQ(s.type, 2);
    EXPECT_EQ(s.start, kT0 + 2);  // after the two reports, a second apart
    EXPECT_EQ(run.events.logs,
              (std::vector<std::wstring>{L"DNS = 192.168.1.1\r\n失败有错误 0\n",
                                         L"IP地址=192.168.1.20\r\n失败有错误 0\n"}));
    auto records = run.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, 2);
    EXPECT_EQ(records[0].Name(), "LAN Connection");
    EXPECT_EQ(records[0].ClientIp(), "192.168.1.20");

    // The DNS server stops answering: the session ends at the next change.
    clock.Advance(75);
    run.watcher.SetElapsed(75);
    net.TearDownLan();
    run.watcher.OnAddressChange();
    EXPECT_FALSE(run.watcher.IsActive());
    EXPECT_EQ(run.Records().at(0).duration, 75);
    EXPECT_EQ(run.Records().at(0).billed, 120);
}

TEST_F(WatcherTest, ALanWhoseDnsServerMissedAnEchoIsLookedAtAgainWithGrowingPauses) {
    net.SetUpLan("192.168.1.20", "192.168.1.1");
    net.answeringHosts.clear();  // the echo is lost
    ProgramRun run(net, dir, clock, settings);
    run.watcher.Start();
    EXPECT_FALSE(run.watcher.IsActive());
    std::vector<std::uint32_t> delays;
    for (int i = 0; i < 5; ++i) {
        delays.push_back(run.watcher.LookAgainAfterMs().value_or(0));
        run.watcher.OnAddressChange();  // the thread's look when the delay has passed
    }
    EXPECT_EQ(delays, (std::vector<std::uint32_t>{5000, 10000, 30000, 60000, 60000}));
    EXPECT_FALSE(run.watcher.IsActive());

    // The server answers at a later look: the session starts, nothing more is owed.
    net.answeringHosts = {"192.168.1.1"};
    run.watcher.OnAddressChange();
    EXPECT_TRUE(run.watcher.IsActive());
    EXPECT_EQ(run.watcher.LookAgainAfterMs(), std::nullopt);

    // A session ended by a probe that failed while the address stayed, and an
    // address the system does not call connected yet, are looked at again.
    net.answeringHosts.clear();
    run.watcher.OnAddressChange();
    EXPECT_FALSE(run.watcher.IsActive());
    EXPECT_EQ(run.watcher.LookAgainAfterMs(), 5000u);
    net.answeringHosts = {"192.168.1.1"};
    net.internet.connected = false;
    run.watcher.OnAddressChange();
    EXPECT_FALSE(run.watcher.IsActive());
    EXPECT_EQ(run.watcher.LookAgainAfterMs(), 10000u);

    // No address at all owes no look: the next change of addresses says when.
    net.TearDownLan();
    run.watcher.OnAddressChange();
    EXPECT_FALSE(run.watcher.IsActive());
    run.watcher.OnAddressChange();
    EXPECT_EQ(run.watcher.LookAgainAfterMs(), std::nullopt);
}

TEST_F(WatcherTest, PhonebookEntryTypeGoesToConnectionsItsNameContains) {
    // The watcher reads the phonebook itself, as it is when a session starts.
    net.entries = {{"Home", "modem", "56K", ""}, {"Office VPN", "vpn", "PPTP", ""}};
    UpRas("Office", 1, "10.8.0.2");
    ProgramRun run(net, dir, clock, settings);
    run.watcher.Start();
    EXPECT_EQ(run.watcher.Status().type, 3);

    DownRas();
    run.watcher.OnAddressChange();
    clock.Advance(100);
    UpRas("Office VPN 2", 2, "10.8.0.3");
    run.watcher.OnAddressChange();
    EXPECT_EQ(run.watcher.Status().type, 1);  // no entry's name contains it

    // An entry made while the program runs counts from its first session on.
    DownRas();
    run.watcher.OnAddressChange();
    clock.Advance(100);
    net.entries.push_back({"Office VPN 2 backup", "vpn", "L2TP", ""});
    UpRas("Office VPN 2", 3, "10.8.0.4");
    run.watcher.OnAddressChange();
    EXPECT_EQ(run.watcher.Status().type, 3);
    EXPECT_EQ(run.Records().back().type, 3);
}

TEST_F(WatcherTest, RestartDuringASessionContinuesItsRecord) {
    net.ntFamily = false;
    UpRas("Dial", 1, "61.2.3.4");
    {
        ProgramRun first(net, dir, clock, settings);
        first.watcher.Start();
        ASSERT_EQ(first.Records().size(), 1u);
    }
    // The program starts again 12 seconds later; the connection never dropped.
    clock.Advance(12);
    ProgramRun second(net, dir, clock, settings);
    second.watcher.Start();
    ASSERT_TRUE(second.watcher.IsActive());
    EXPECT_EQ(second.Records().size(), 1u);  // nothing appended
    // The frame and the history list are told, so they add no row either.
    ASSERT_EQ(second.events.started.size(), 1u);
    EXPECT_EQ(second.events.started[0].continuesRecord, 1);

    second.watcher.SetElapsed(3000);
    DownRas();
    second.watcher.OnAddressChange();
    const auto records = second.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].duration, 3000);
    EXPECT_EQ(records[0].start, kT0 + 12);
}

TEST_F(WatcherTest, UntimedConnectionsAreFollowedButNotRecorded) {
    net.entries = {{"Cable", "modem", "56K", ""}, {"Infrared", "irda", "IR", ""}};
    UpRas("Cable", 1, "61.1.1.1");
    ProgramRun run(net, dir, clock, settings);
    run.watcher.Start();
    run.watcher.SetElapsed(90);
    DownRas();
    run.watcher.OnAddressChange();
    ASSERT_EQ(run.Records().size(), 1u);

    clock.Advance(60);
    UpRas("Infrared", 2, "61.1.1.2");
    run.watcher.OnAddressChange();
    EXPECT_TRUE(run.watcher.IsActive());
    EXPECT_EQ(run.watcher.Status().type, 4);
    EXPECT_EQ(run.events.started.size(), 2u);
    run.watcher.SetElapsed(0);
    DownRas();
    run.watcher.OnAddressChange();
    EXPECT_EQ(run.events.ended.size(), 2u);
    // The earlier, finished record is untouched and nothing was added.
    const auto records = run.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].duration, 90);
    EXPECT_EQ(records[0].Name(), "Cable");
}

TEST_F(WatcherTest, WithoutARecordFileSessionsAreStillFollowed) {
    std::filesystem::create_directory(dir.File("adsl.bs"));  // a directory cannot be opened
    UpRas("Dial", 1, "61.2.3.4");
    ProgramRun run(net, dir, clock, settings);
    // Reported with the open's own error code.
    ASSERT_EQ(run.events.logs.size(), 1u);
    ASSERT_NE(run.doc.LastError(), 0);
    EXPECT_EQ(run.events.logs[0],
              FormatWatcherReport(L"Cann,t Open Record File ", run.doc.LastError()));
    run.watcher.Start();
    EXPECT_TRUE(run.watcher.IsActive());
    DownRas();
    run.watcher.OnAddressChange();
    EXPECT_FALSE(run.watcher.IsActive());
    EXPECT_EQ(run.events.calls,
              (std::vector<std::string>{"loaded", "started", "conn.wav", "programs", "ended",
                                        "disconn.wav", "end programs"}));
}

TEST_F(WatcherTest, RecoveryCompletesTheCrashedRecordUnlessTheSessionContinuesIt) {
    // Power was lost 2 h ago in a session's eleventh minute (an older record was
    // left open without a backup); the line was dialled again before the start.
    RecordFileHeader header;
    header.recordCount = 2;
    test::WriteAll(dir.File("adsl.bs"),
                   test::FileBytes(header, {OpenRecord(kT0 - 90'000), OpenRecord(kT0 - 7200)}));
    test::WriteAll(dir.File("adsl.bak"), {0x58, 0x02, 0, 0});  // 600 s
    UpRas("Dial", 2, "61.2.3.9");
    net.statistics[2] = {0, 0, 0, 30'000};
    // The new session's backup is reset after the recovery has read the old
    // one, before its record is added; a continued record keeps its backup.
    std::vector<std::uint32_t> resets;
    const auto reset = [&](std::uint32_t seconds) { resets.push_back(seconds); };
    {
        ProgramRun run(net, dir, clock, settings);
        run.watcher.SetRecordStarting([&](std::uint32_t seconds) {
            EXPECT_EQ(run.Records().size(), 2u);
            EXPECT_EQ(run.Records()[1].duration, 600);
            reset(seconds);
        });
        run.watcher.Start();
    }
    EXPECT_EQ(resets, std::vector<std::uint32_t>{30});
    // Started again 12 s later in the same session: its record is continued.
    clock.Advance(12);
    net.statistics[2] = {0, 0, 0, 42'000};
    ProgramRun again(net, dir, clock, settings);
    again.watcher.SetRecordStarting(reset);
    again.watcher.Start();
    EXPECT_EQ(resets.size(), 1u);
    const auto records = again.Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(records[0].IsOpen());
    EXPECT_EQ(records[1].duration, 600);
    EXPECT_TRUE(records[2].IsOpen());  // the running session's
    EXPECT_EQ(records[2].start, kT0 - 30);
}

TEST_F(WatcherTest, SessionLengthIsMeasuredWhenTheTickNeverRan) {
    UpRas("Dial", 1, "61.2.3.4");
    net.statistics[1] = {0, 0, 0, 30'000};  // up for 30 s when we start
    ProgramRun run(net, dir, clock, settings);
    run.watcher.Start();
    clock.Advance(45);
    clock.Set(clock.Now() - 3600);  // and the wall clock is set back an hour
    DownRas();
    run.watcher.OnAddressChange();
    EXPECT_EQ(run.events.ended.at(0).duration, 75u);
    EXPECT_EQ(run.Records().at(0).end, kT0 - 30 + 75);
}

TEST_F(WatcherTest, FailedRecordWritesAreReportedOnceAndLandOnceTheFileTakesThem) {
    using Op = test::FaultyFileSystem::Op;
    auto report = [](const wchar_t* what) {
        return FormatWatcherReport(what, CFixLenRecDoc::kWriteFailedError);
    };
    UpRas("Dial", 1, "61.2.3.4");
    ProgramRun run(net, dir, clock, settings);
    int flushes = 0;  // the start's record reaches the file whole, its flush fails
    run.files.fails = [&](Op op) { return op == Op::Flush && ++flushes == 2; };
    run.watcher.Start();
    run.watcher.RetryPendingWrite();  // the frame's next ticks
    run.watcher.RetryPendingWrite();
    EXPECT_EQ(run.Records().size(), 1u);

    run.files.fails = [](Op op) { return op == Op::Write; };
    run.watcher.SetElapsed(300);
    DownRas();
    run.watcher.OnAddressChange();
    run.watcher.RetryPendingWrite();
    EXPECT_EQ(run.events.logs, (std::vector<std::wstring>{report(L"CFixLenRecDoc::Append"),
                                                          report(L"CFixLenRecDoc::Update")}));
    run.files.fails = nullptr;
    run.watcher.OnAddressChange();  // the next event
    ASSERT_EQ(run.Records().size(), 1u);
    EXPECT_EQ(run.Records()[0].duration, 300);
}

}  // namespace
}  // namespace hourlink
