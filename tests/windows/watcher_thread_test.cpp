// The watcher's Windows thread and its messages to the frame, in-process under
// Wine: real Winsock (address-list query and change notification), a scripted
// network for the probes, a real record file and a message-only window standing
// in for the frame.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../native/fake_network.h"
#include "core/base/clock.h"
#include "core/base/notifier.h"
#include "core/net/connection_watcher.h"
#include "core/net/network_info.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "core/settings/memory_settings_store.h"
#include "shell/frame/frame_messages.h"
#include "shell/frame/frame_watcher_events.h"
#include "shell/frame/watcher_thread.h"
#include "shell/platform/win32_file_system.h"

namespace hourlink {
namespace {

using namespace std::chrono_literals;

// A fresh directory under %TEMP%, emptied and removed afterwards.
class TempDir {
  public:
    TempDir() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        for (unsigned n = GetTickCount(); path_.empty(); ++n) {
            std::wstring candidate = std::wstring(base) + L"hourlink-watcher-" + std::to_wstring(n);
            if (CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
        }
    }
    ~TempDir() {
        DeleteFileW(File(L"adsl.bs").c_str());
        RemoveDirectoryW(path_.c_str());
    }
    std::wstring File(const wchar_t* name) const { return JoinPath(path_, name); }

  private:
    std::wstring path_;
};

// What the frame received, in order of arrival.
struct Received {
    std::vector<WPARAM> recordsUpdated;
    std::vector<std::wstring> logTexts;
    std::vector<ConnectionStatus> connectionEvents;
    // Set while a sent WM_CONNECTION_EVENT is handled, to tell it from a post.
    std::vector<bool> connectionEventWasSent;
    std::function<void()> onRecordsUpdated;
};

// A message-only window that takes what each message carries.
class FrameStandIn {
  public:
    FrameStandIn() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &FrameStandIn::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"HourlinkWatcherTestFrame";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&received));
    }
    ~FrameStandIn() {
        DestroyWindow(hwnd_);
        // Messages still queued for the window carry copies that are ours.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND hwnd() const { return hwnd_; }

    // Dispatches messages until `done` holds or `timeout` passes.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
        return true;
    }
    void PumpFor(std::chrono::milliseconds time) {
        PumpUntil([] { return false; }, time);
    }

    Received received;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* r = reinterpret_cast<Received*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        switch (msg) {
            case WM_RECORDS_UPDATED:
                r->recordsUpdated.push_back(wp);
                if (r->onRecordsUpdated) r->onRecordsUpdated();
                return 0;
            case WM_LOG_TEXT:
                r->logTexts.push_back(*TakeLogText(lp));
                return 0;
            case WM_CONNECTION_EVENT:
                r->connectionEventWasSent.push_back(InSendMessage() != FALSE);
                r->connectionEvents.push_back(*TakeConnectionStatus(wp));
                return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    HWND hwnd_ = nullptr;
};

// Everything a watcher needs, wired as the program wires it.
struct WatcherRig {
    explicit WatcherRig(WatcherEvents& events)
        : network(fakeNetwork, notifier, SystemClock::Instance()),
          records(files, SystemClock::Instance(), notifier),
          watcher(network, records, table, settings, SystemClock::Instance(), events) {}

    test::FakeNetwork fakeNetwork;
    SilentNotifier notifier;
    Win32FileSystem files;
    MemorySettingsStore settings;
    RecordTable table;
    NetworkInfo network;
    CFixLenRecDoc records;
    ConnectionWatcher watcher;
};

std::chrono::milliseconds TimeToStop(WatcherThread& thread) {
    const auto start = std::chrono::steady_clock::now();
    thread.Stop();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

// --- The thread's life ------------------------------------------------------

TEST(WatcherThread, IdleStartLoadsRecordsQuietlyAndStopsPromptly) {
    FrameStandIn frame;
    FrameWatcherEvents events(frame.hwnd());
    WatcherRig rig(events);  // no RAS, no adapters, Wininet offline
    TempDir dir;
    WatcherThread thread(rig.watcher, dir.File(L"adsl.bs"));

    ASSERT_TRUE(thread.Start(THREAD_PRIORITY_NORMAL));
    EXPECT_FALSE(thread.Start(THREAD_PRIORITY_NORMAL)) << "one thread per watcher";
    ASSERT_TRUE(frame.PumpUntil([&] { return !frame.received.recordsUpdated.empty(); }, 10s));
    EXPECT_EQ(frame.received.recordsUpdated, std::vector<WPARAM>{1});
    frame.PumpFor(300ms);

    // Winsock started, the address list was read and the change notification
    // is pending: none of that reported a failure, and no session began.
    for (const auto& text : frame.received.logTexts) ADD_FAILURE() << "unexpected report: " << text;
    EXPECT_TRUE(frame.received.connectionEvents.empty());
    EXPECT_GE(thread.AddressCount(), 0);
    EXPECT_TRUE(thread.IsRunning()) << "the thread waits for address changes";
    // The record file was opened (created with its header) by the thread.
    EXPECT_TRUE(rig.records.IsOpenForUpdate());
    EXPECT_EQ(rig.records.RecordCount(), 0u);

    EXPECT_LT(TimeToStop(thread), 2000ms);
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.AddressCount(), -1) << "Winsock objects released";
    EXPECT_LT(TimeToStop(thread), 100ms) << "a second Stop has nothing to do";
}

TEST(WatcherThread, StopWithoutStartAndDestructionAfterStartAreSafe) {
    FrameStandIn frame;
    FrameWatcherEvents events(frame.hwnd());
    WatcherRig rig(events);
    TempDir dir;
    {
        WatcherThread never(rig.watcher, dir.File(L"adsl.bs"));
        never.Stop();
        EXPECT_FALSE(never.IsRunning());
    }
    {
        // Stopped by its destructor right after the start, wherever it is.
        WatcherThread started(rig.watcher, dir.File(L"adsl.bs"));
        ASSERT_TRUE(started.Start(THREAD_PRIORITY_BELOW_NORMAL));
    }
    // It can be started again after a stop.
    WatcherThread again(rig.watcher, dir.File(L"adsl.bs"));
    ASSERT_TRUE(again.Start());
    again.Stop();
    ASSERT_TRUE(again.Start());
    EXPECT_TRUE(again.IsRunning());
    EXPECT_LT(TimeToStop(again), 2000ms);
}

TEST(WatcherThread, UnopenableRecordFileIsReportedAndTheWatcherGoesOn) {
    FrameStandIn frame;
    FrameWatcherEvents events(frame.hwnd());
    WatcherRig rig(events);
    TempDir dir;
    WatcherThread thread(rig.watcher, dir.File(L"no such directory\\adsl.bs"));

    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(frame.PumpUntil([&] { return !frame.received.recordsUpdated.empty(); }, 10s));
    frame.PumpFor(200ms);
    ASSERT_EQ(frame.received.logTexts.size(), 1u);
    const std::wstring& report = frame.received.logTexts[0];
    EXPECT_EQ(report.rfind(L"Cann,t Open Record File 失败有错误 ", 0), 0u) << report;
    EXPECT_EQ(report.back(), L'\n');
    EXPECT_TRUE(thread.IsRunning());
    thread.Stop();
}

TEST(WatcherThread, LanUpAtStartBeginsARecordedSession) {
    FrameStandIn frame;
    FrameWatcherEvents events(frame.hwnd());
    WatcherRig rig(events);
    rig.fakeNetwork.SetUpLan("192.168.5.20", "192.168.5.1");
    TempDir dir;
    WatcherThread thread(rig.watcher, dir.File(L"adsl.bs"));

    const std::uint32_t before = static_cast<std::uint32_t>(SystemClock::Instance().Now());
    ASSERT_TRUE(thread.Start());
    ASSERT_TRUE(frame.PumpUntil([&] { return !frame.received.connectionEvents.empty(); }, 15s));

    // The DNS server and the adapter's address were shown before the start.
    ASSERT_EQ(frame.received.logTexts.size(), 2u);
    EXPECT_EQ(frame.received.logTexts[0], L"DNS = 192.168.5.1\r\n失败有错误 0\n");
    EXPECT_EQ(frame.received.logTexts[1], L"IP地址=192.168.5.20\r\n失败有错误 0\n");
    EXPECT_EQ(frame.received.recordsUpdated, std::vector<WPARAM>{1});

    const ConnectionStatus& s = frame.received.connectionEvents[0];
    EXPECT_FALSE(frame.received.connectionEventWasSent[0]) << "a start is posted";
    EXPECT_EQ(s.online, 1u);
    EXPECT_EQ(s.type, 2);
    EXPECT_EQ(s.Name(), "LAN Connection");
    EXPECT_EQ(s.ClientIp(), "192.168.5.20");
    EXPECT_GE(s.start, before);

    ASSERT_EQ(rig.records.RecordCount(), 1u);
    const auto record = rig.records.GetRecord(0);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->start, s.start);
    EXPECT_TRUE(record->IsOpen());
    EXPECT_EQ(record->ClientIp(), "192.168.5.20");
    EXPECT_LT(TimeToStop(thread), 2000ms);
}

TEST(WatcherThread, StopDeliversWhatTheThreadSendsMeanwhile) {
    // A frame that stops the watcher while the thread sends it a message (as a
    // session end is sent) must not wait for the thread that waits for it.
    FrameStandIn frame;
    struct SendingEvents final : WatcherEvents {
        HWND frame = nullptr;
        std::atomic<bool> sending = false;
        void SessionStarted(const ConnectionStatus&) override {}
        void SessionEnded(const ConnectionStatus&) override {}
        void RecordsLoaded() override {
            sending = true;
            SendMessageW(frame, WM_RECORDS_UPDATED, 7, 0);
        }
        void Log(std::wstring) override {}
        void PlaySound(std::wstring_view) override {}
        void StartPrograms() override {}
        void EndPrograms() override {}
        void Pause(int) override {}
    } events;
    events.frame = frame.hwnd();
    WatcherRig rig(events);
    TempDir dir;
    WatcherThread thread(rig.watcher, dir.File(L"adsl.bs"));

    // A deadlock would hang the test: end the process with a clear message.
    std::atomic<bool> finished = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !finished; ++i) std::this_thread::sleep_for(50ms);
        if (!finished) {
            std::fprintf(stderr, "Stop() deadlocked with the thread's SendMessage\n");
            std::fflush(stderr);
            ExitProcess(3);
        }
    });

    ASSERT_TRUE(thread.Start());
    // Do not pump: wait until the thread is inside its send, then stop.
    for (int i = 0; i < 400 && !events.sending; ++i) Sleep(5);
    EXPECT_TRUE(events.sending);
    thread.Stop();
    finished = true;
    watchdog.join();
    EXPECT_EQ(frame.received.recordsUpdated, std::vector<WPARAM>{7});
}

// --- The messages and who owns what they carry -----------------------------

TEST(FrameWatcherEvents, LogTextsArriveIntactAndDistinct) {
    FrameStandIn frame;
    FrameWatcherEvents events(frame.hwnd());
    // Posted quickly from another thread, before the frame handles any: one
    // shared buffer would show only the last text, many times.
    std::thread sender([&] {
        for (int i = 0; i < 100; ++i) {
            events.Log(FormatWatcherReport(L"地址查询失败 #" + std::to_wstring(i), i));
        }
    });
    sender.join();
    ASSERT_TRUE(frame.PumpUntil([&] { return frame.received.logTexts.size() == 100; }, 5s));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(frame.received.logTexts[i], L"地址查询失败 #" + std::to_wstring(i) +
                                                  L"失败有错误 " + std::to_wstring(i) + L"\n");
    }
}

TEST(FrameWatcherEvents, SessionStartIsPostedAndSessionEndIsSent) {
    FrameStandIn frame;
    FrameWatcherEvents events(frame.hwnd());
    ConnectionStatus status;
    status.SetName("Office");
    status.SetClientIp("10.0.0.7");
    status.online = 1;
    status.start = 1700000000;

    events.SessionStarted(status);
    status.online = 0;  // the watcher moves on; the frame sees the copy
    EXPECT_TRUE(frame.received.connectionEvents.empty()) << "posted, not handled yet";
    frame.PumpUntil([&] { return frame.received.connectionEvents.size() == 1; }, 2s);
    ASSERT_EQ(frame.received.connectionEvents.size(), 1u);
    EXPECT_EQ(frame.received.connectionEvents[0].online, 1u);
    EXPECT_EQ(frame.received.connectionEvents[0].Name(), "Office");
    EXPECT_EQ(frame.received.connectionEvents[0].ClientIp(), "10.0.0.7");

    // The end, from the watcher's thread: handled before SessionEnded returns.
    status.duration = 125;
    std::atomic<std::size_t> seenWhenReturned = 0;
    std::thread watcherThread([&] {
        events.SessionEnded(status);
        seenWhenReturned = frame.received.connectionEvents.size();
    });
    frame.PumpUntil([&] { return frame.received.connectionEvents.size() == 2; }, 2s);
    watcherThread.join();
    ASSERT_EQ(frame.received.connectionEvents.size(), 2u);
    EXPECT_EQ(seenWhenReturned, 2u);
    EXPECT_TRUE(frame.received.connectionEventWasSent[1]);
    EXPECT_EQ(frame.received.connectionEvents[1].online, 0u);
    EXPECT_EQ(frame.received.connectionEvents[1].duration, 125u);

    events.RecordsLoaded();
    frame.PumpUntil([&] { return !frame.received.recordsUpdated.empty(); }, 2s);
    EXPECT_EQ(frame.received.recordsUpdated, std::vector<WPARAM>{1});
}

TEST(FrameWatcherEvents, AGoneFrameGetsNothingAndTheCallsReturn) {
    HWND gone;
    {
        FrameStandIn frame;
        gone = frame.hwnd();
    }
    FrameWatcherEvents events(gone);
    ConnectionStatus status;
    // Nothing to receive the copies: they stay with the sender and are freed.
    events.SessionStarted(status);
    events.SessionEnded(status);
    events.Log(L"text");
    events.RecordsLoaded();
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_CONNECTION_EVENT, WM_LOG_TEXT, PM_REMOVE));
}

}  // namespace
}  // namespace hourlink
