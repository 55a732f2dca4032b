// The dialer on a scripted RAS: what the log shows of a dial, its time-out,
// retries and hang-ups, and the PPPoE client's buttons.
#include "core/net/dialer.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/settings/memory_settings_store.h"
#include "core/settings/settings.h"
#include "fake_dial.h"
#include "fake_network.h"
#include "test_support.h"

namespace hourlink {
namespace {

using test::FakeDialPlatform;
using test::FakeNetwork;
using test::RecordingDialHost;

class DialerTest : public ::testing::Test {
  protected:
    DialerTest() {
        DialParameters home;
        home.entryName = L"Home";
        home.userName = L"alice";
        home.password = L"secret";
        dial.entries[L"Home"] = {home, true};
        host.phoneNumbers[L"Home"] = L"16300";
        WriteSetting(settings, settings::kDefaultConnect, L"Home");
        WriteSetting(settings, settings::kScheduleEntryName, L"Home");
    }
    ~DialerTest() override { dialer.reset(); }

    Dialer& Make(DialTiming& timing) {
        dialer = std::make_unique<Dialer>(dial, info, settings, host, timing);
        return *dialer;
    }
    // Until the dial threads have returned.
    void Settle() {
        for (int i = 0; i < 5000 && dialer->RunningThreads() > 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(dialer->RunningThreads(), 0);
        ASSERT_FALSE(dialer->AttemptRunning());
    }
    void Answer() { host.answer = ConnectDetails{L"Home", L"alice", L"secret", L"16300", false}; }

    FakeDialPlatform dial;
    FakeNetwork net;
    test::RecordingNotifier notifier;
    ManualClock clock{1'700'000'000};
    NetworkInfo info{net, notifier, clock};
    MemorySettingsStore settings;
    RecordingDialHost host;
    DialTiming realTiming;
    test::NoWaiting noWaiting;
    test::NoWaiting noPauses{true};
    std::unique_ptr<Dialer> dialer;
};

TEST_F(DialerTest, ManualDialShowsTheDialogThenFollowsRasToOnline) {
    host.answer = ConnectDetails{L"Home", L"bob", L"pw2", L"16388", true};
    Dialer& d = Make(realTiming);
    d.ConnectCommand({});
    // The dialog showed the stored user and password and the phonebook number.
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0].entryName, L"Home");
    EXPECT_EQ(host.asked[0].userName, L"alice");
    EXPECT_EQ(host.asked[0].password, L"secret");
    EXPECT_EQ(host.asked[0].phoneNumber, L"16300");
    ASSERT_TRUE(dial.WaitUntil([&] { return !dial.dialled.empty(); }));
    // What the dialog gave is dialled and stored, the password removed as asked.
    EXPECT_EQ(dial.dialled[0].userName, L"bob");
    EXPECT_EQ(dial.dialled[0].phoneNumber, L"16388");
    EXPECT_EQ(dial.dialled[0].domain, L"*");
    EXPECT_EQ(dial.entries[L"Home"].parameters.userName, L"bob");
    EXPECT_EQ(dial.entries[L"Home"].parameters.password, L"");
    EXPECT_EQ(dial.entries[L"Home"].parameters.domain, L"");  // "*" is for the dial only
    EXPECT_TRUE(d.AttemptRunning());

    for (int state : {0, 1, 2, 14, kRasConnected}) d.OnDialState(state, 0);
    Settle();
    EXPECT_EQ(host.Lines(),
              (std::vector<std::wstring>{L"正在连接Home...\r\n", L"正在拨号16388...\r\n",
                                         L"即将打开一个通信端口\r\n", L"通信端口已打开\r\n",
                                         L"准备与一个设备连接\r\n", L"客户机已成功结束身份验证\r\n",
                                         L"连接成功\r\n", L"在线.\r\n"}));
    EXPECT_TRUE(dial.hungUp.empty());
    // The connection can be hung up before the watcher has seen it.
    EXPECT_TRUE(d.CanHangUp(false));
    d.HangUp(L"HOME");
    EXPECT_EQ(dial.hungUp, std::vector<RasHandle>{0x100});
    EXPECT_EQ(host.Lines().back(), L"连接已关闭\r\n");
}

TEST_F(DialerTest, CancelOrARefusalDialsNothingFurther) {
    Dialer& d = Make(noWaiting);
    d.ConnectCommand({});  // the dialog is cancelled
    EXPECT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(dial.stores, 0);
    EXPECT_TRUE(dial.dialled.empty());

    // An unknown entry: the error box, no dial.
    WriteSetting(settings, settings::kScheduleEntryName, L"Gone");
    d.DialAtStartUp();
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], L"没有定义的拨号错误(623).");

    // RAS refuses at once but hands back a handle: it is let go, the error
    // shown, and a scheduled dial is not retried for it.
    WriteSetting(settings, settings::kScheduleEntryName, L"Home");
    WriteSetting(settings, settings::kDialCount, 5);
    dial.dialResult = 633;
    d.DialScheduled();
    Settle();
    EXPECT_EQ(dial.dialled.size(), 1u);
    EXPECT_EQ(dial.hungUp, std::vector<RasHandle>{0x100});
    EXPECT_EQ(host.errors.back(), L"没有定义的RAS Dial错误 633.");
}

TEST_F(DialerTest, NoAnswerWithinFiftySecondsHangsUpItsOwnAttemptOnly) {
    Dialer& d = Make(noWaiting);
    d.DialAtStartUp();
    Settle();
    EXPECT_EQ(host.Lines(),
              (std::vector<std::wstring>{L"正在拨号16300...\r\n", L"Home超时...\r\n",
                                         L"正在挂断Home...\r\n", L"连接到Home已结束.\r\n"}));
    EXPECT_EQ(dial.hungUp, std::vector<RasHandle>{0x100});
    // RAS was asked until it let the connection go, with pauses between.
    EXPECT_EQ(dial.statusPolls, 3);
    const auto waits = noWaiting.Waits();
    EXPECT_EQ(waits.front(), 50000);
    EXPECT_EQ(waits.at(1), 2000);
    // No retry follows a time-out, and nothing is left to hang up.
    EXPECT_EQ(dial.dialled.size(), 1u);
    EXPECT_FALSE(d.CanHangUp(false));
}

TEST_F(DialerTest, ScheduledDialsAreRetriedUpToTheCountThenStop) {
    WriteSetting(settings, settings::kDialCount, 3);
    WriteSetting(settings, settings::kDialWait, 7);
    Dialer& d = Make(noPauses);
    d.DialScheduled();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == std::size_t(attempt); }));
        d.OnDialState(0, 678);  // RAS reports an error: a retry, attempt + 1
    }
    Settle();
    const auto lines = host.Lines();
    EXPECT_EQ(lines.back(), L"拨号次数已经大于4次,自动拨号停止\r\n");  // the count it reached
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"远程计算机没有响应。\r\n"), 3);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"连接已关闭\r\n"), 3);
    EXPECT_EQ(dial.hungUp, (std::vector<RasHandle>{0x100, 0x101, 0x102}));
    EXPECT_FALSE(d.RetriesArmed());
    // Each retry paused the seconds the user chose first.
    const auto waits = noPauses.Waits();
    EXPECT_EQ(std::count(waits.begin(), waits.end(), 7000), 2);

    // A manual dial that fails is not retried.
    Answer();
    d.ConnectCommand({});
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 4; }));
    d.OnDialState(0, 678);
    Settle();
    EXPECT_EQ(dial.dialled.size(), 4u);
}

TEST_F(DialerTest, AHangUpEndsThePauseBeforeARetryAndAHandleThatComesLate) {
    WriteSetting(settings, settings::kDialCount, 5);
    WriteSetting(settings, settings::kDialWait, 99);
    Dialer& d = Make(realTiming);
    d.DialScheduled();
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 1; }));
    d.OnDialState(0, 678);  // the retry now pauses 99 seconds...
    d.HangUp(L"HOME");      // ...and the user hangs up during the pause
    Settle();
    EXPECT_EQ(dial.dialled.size(), 1u);
    EXPECT_TRUE(d.HangUpRequested());

    // A hang-up while RAS is still dialling: the handle it then gives is hung
    // up at once, and no later dial or hang-up touches it again.
    dial.holdDial = true;
    d.DialAtStartUp();
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 2; }));
    d.HangUp(L"HOME");
    EXPECT_EQ(host.Lines().back(), L"连接已关闭\r\n");
    dial.Release();
    Settle();
    EXPECT_EQ(dial.hungUp, (std::vector<RasHandle>{0x100, 0x101}));
}

TEST_F(DialerTest, WhileADialRunsNoOtherStartsAndQuittingEndsIt) {
    Answer();
    Dialer& d = Make(noPauses);
    d.ConnectCommand({});
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 1; }));
    EXPECT_FALSE(d.CanConnect(false, {}));
    // "连接..." from the tree's menu, the dial at start-up, the schedule's.
    d.ConnectCommand({});
    d.DialAtStartUp();
    d.DialScheduled();
    EXPECT_EQ(host.asked.size(), 1u);
    d.OnDialState(kRasConnected, 0);
    dialer.reset();
    EXPECT_EQ(dial.dialled.size(), 1u);
    EXPECT_TRUE(dial.hungUp.empty());  // no time-out ends the live connection
    const auto lines = host.Lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Home超时...\r\n"), 0);

    // Quitting while RAS dials hangs the dial up and waits for no time-out.
    Make(realTiming).DialAtStartUp();
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 2; }));
    const auto start = std::chrono::steady_clock::now();
    dialer.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(dial.hungUp, std::vector<RasHandle>{0x101});
}

TEST_F(DialerTest, OnlyTheScheduledAttemptThatConnectedIsTheSchedules) {
    Answer();
    Dialer& d = Make(noWaiting);
    // A scheduled dial that RAS refuses, then one that times out.
    for (const std::uint32_t result : {633u, 0u}) {
        dial.dialResult = result;
        d.DialScheduled();
        Settle();
        EXPECT_FALSE(d.RetriesArmed()) << result;
    }
    // The user's own dial that connects later is not the schedule's, and its
    // failure is not retried as a scheduled one.
    noWaiting.WaitForRas(true);
    d.ConnectCommand({});
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 3; }));
    d.OnDialState(kRasConnected, 0);
    EXPECT_FALSE(d.ConnectedBySchedule());
    d.OnSessionEnd();
    d.ConnectCommand({});
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 4; }));
    d.OnDialState(0, 678);
    Settle();
    EXPECT_EQ(dial.dialled.size(), 4u);
    // A scheduled attempt that connects is, until its session ends.
    d.DialScheduled();
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.dialled.size() == 5; }));
    d.OnDialState(kRasConnected, 0);
    EXPECT_TRUE(d.ConnectedBySchedule());
    d.OnSessionEnd();
    EXPECT_FALSE(d.ConnectedBySchedule());
}

TEST_F(DialerTest, ALineDropLeavesNothingToHangUp) {
    Dialer& d = Make(realTiming);
    d.DialAtStartUp();
    ASSERT_TRUE(dial.WaitUntil([&] { return !dial.dialled.empty(); }));
    d.OnDialState(kRasConnected, 0);
    Settle();
    d.OnSessionStart(0x100);
    d.OnSessionEnd();
    EXPECT_FALSE(d.CanHangUp(false));
    EXPECT_TRUE(d.CanConnect(false, {2, L"Office"}));
    const std::size_t before = host.Lines().size();
    d.HangUp(L"HOME");
    EXPECT_EQ(host.Lines().size(), before);
    EXPECT_TRUE(dial.hungUp.empty());
}

TEST_F(DialerTest, ManyDialsAndHangUpsLetEveryHandleGoOnce) {
    Dialer& d = Make(realTiming);
    for (int i = 0; i < 200; ++i) {
        d.DialAtStartUp();
        if (i % 3 == 0) d.OnDialState(kRasConnected, 0);
        d.HangUp(L"HOME");
    }
    dialer.reset();  // joins every dial thread
    std::vector<RasHandle> hung = dial.hungUp;
    std::sort(hung.begin(), hung.end());
    EXPECT_EQ(std::adjacent_find(hung.begin(), hung.end()), hung.end()) << "a handle hung up twice";
    EXPECT_EQ(hung.size(), dial.dialled.size()) << "a handle never let go";
}

TEST_F(DialerTest, DisconnectedIsNoOnlineAndALanHasNothingToHangUp) {
    Dialer& d = Make(realTiming);
    d.DialAtStartUp();
    ASSERT_TRUE(dial.WaitUntil([&] { return !dial.dialled.empty(); }));
    d.OnDialState(kRasDisconnected, 0);
    Settle();
    const auto lines = host.Lines();
    EXPECT_EQ(lines[lines.size() - 2], L"连接失败或终止\r\n");
    EXPECT_EQ(lines.back(), L"连接已关闭\r\n");
    EXPECT_EQ(dial.hungUp, std::vector<RasHandle>{0x100});

    // A LAN session: the idle hang-up every second says and does nothing.
    const std::size_t before = host.Lines().size();
    for (int i = 0; i < 3; ++i) d.HangUp(L"局域网连接");
    EXPECT_EQ(host.Lines().size(), before);
    EXPECT_EQ(dial.hungUp.size(), 1u);

    // The watcher's handle of a RAS session is the one hung up.
    d.OnSessionStart(0x4242);
    EXPECT_TRUE(d.CanHangUp(false));
    EXPECT_FALSE(d.CanConnect(true, {}));
    d.HangUp(L"HOME");
    EXPECT_EQ(dial.hungUp.back(), 0x4242u);
}

TEST_F(DialerTest, CommandsAreEnabledByTheTreeAndTheDefaultEntry) {
    Dialer& d = Make(realTiming);
    EXPECT_TRUE(d.CanConnect(false, {0, L""}));        // the default entry
    EXPECT_TRUE(d.CanConnect(false, {1, L""}));        // ...also after the tree's own first pick
    EXPECT_FALSE(d.CanConnect(false, {2, L""}));       // a group is selected
    EXPECT_TRUE(d.CanConnect(false, {2, L"Office"}));  // an entry is selected
    EXPECT_FALSE(d.CanConnect(true, {2, L"Office"}));  // something is timed
    WriteSetting(settings, settings::kDefaultConnect, L"");
    EXPECT_FALSE(d.CanConnect(false, {1, L""}));
    EXPECT_FALSE(d.CanHangUp(false));
    EXPECT_TRUE(d.CanHangUp(true));
}

TEST_F(DialerTest, PppoeEntriesStartAndDriveTheClient) {
    net.appPaths[L"EnterNet.exe"] = L"C:\\Program Files\\EnterNet";
    net.files.insert(L"C:\\Program Files\\EnterNet\\EnterNet.exe");
    // "连接到" over "断开连接" and "连接" (GBK): the first accepted text wins.
    net.windows = {{1, "Notepad"}, {2, "EnterNet 3.1"}, {3, "\xC1\xAC\xBD\xD3\xB5\xBD ISP"}};
    net.children[2] = {{20, "Connect..."},
                       {21, "\xB6\xCF\xBF\xAA\xC1\xAC\xBD\xD3"},
                       {22, "\xC1\xAC\xBD\xD3"},
                       {23, "Exit"}};
    net.children[3] = {{30, "Disconnect"}};
    WriteSetting(settings, settings::kDefaultConnect, L"My pppoe");
    Dialer& d = Make(realTiming);
    d.ConnectCommand({});
    EXPECT_TRUE(host.asked.empty());  // no dialog for the client
    ASSERT_TRUE(dial.WaitUntil([&] { return !dial.clicked.empty(); }));
    EXPECT_EQ(dial.started,
              std::vector<std::wstring>{L"\"C:\\Program Files\\EnterNet\\EnterNet.exe\""});
    EXPECT_EQ(dial.clicked, std::vector<std::uintptr_t>{21});

    // Hanging up the client's link presses Disconnect, then Exit.
    d.HangUp(L"NTS PPPoE Adapter");
    EXPECT_EQ(dial.clicked, (std::vector<std::uintptr_t>{21, 30, 21}));

    // Started by the schedule: a dial in progress until the client is ready,
    // and then the schedule's connection.
    dialer.reset();
    dial.clicked.clear();
    WriteSetting(settings, settings::kScheduleEntryName, L"My pppoe");
    dial.holdStart = true;
    Dialer& scheduled = Make(realTiming);
    scheduled.DialScheduled();
    ASSERT_TRUE(dial.WaitUntil([&] { return dial.started.size() == 2; }));
    EXPECT_TRUE(scheduled.AttemptRunning());
    EXPECT_FALSE(scheduled.CanConnect(false, {}));
    scheduled.DialScheduled();
    dial.Release();
    Settle();
    EXPECT_EQ(dial.started.size(), 2u);
    EXPECT_EQ(dial.clicked, std::vector<std::uintptr_t>{21});
    EXPECT_TRUE(scheduled.ConnectedBySchedule());

    // Not installed: nothing is started and nothing said.
    dialer.reset();
    net.files.clear();
    Dialer& again = Make(realTiming);
    again.ConnectCommand({});
    dialer.reset();
    EXPECT_EQ(dial.started.size(), 2u);
    EXPECT_EQ(host.Lines().size(), 0u);
}

}  // namespace
}  // namespace hourlink
