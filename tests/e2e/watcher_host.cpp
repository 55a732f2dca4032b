// A small Windows program that runs the real connection watcher the way the
// main frame will, for the end-to-end LAN session test: the real network
// platform, probes, record file, registry settings, watcher and watcher thread,
// and a window standing in for the frame.
//
// The window is an ordinary small top-level window with the unique title
// "Hourlink watcher host": the test finds it with `wintool wait-window`, ends
// the program with `wintool close`, and its screenshot shows the state. (A
// message-only window would receive the same messages but cannot be found by
// window enumeration.)
//
// Like the frame, it answers the watcher's messages: at a connect it notes the
// tick count and a one-second timer writes the session's elapsed seconds into
// the watcher; at a disconnect the timer stops. Everything it receives goes,
// one flushed line at a time, to "watcher_host.log" (UTF-8) beside the program,
// which the test reads:
//
//   wininet connected=1 flags=2 name=<name>
//   records-updated 1
//   connect online=1 type=2 name=<name> ip=<ip> start=<seconds>
//   elapsed <seconds>
//   disconnect online=0 type=2 name=<name> ip=<ip> start=<s> duration=<s> end=<s> billed=<s>
//   log <text, with \r and \n written as \\r and \\n>
//   message <text> / error <what> <code>       (the record file's notices)
//   stopped
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/base/clock.h"
#include "core/base/file_system.h"
#include "core/base/notifier.h"
#include "core/net/connection_watcher.h"
#include "core/net/network_info.h"
#include "core/records/fix_len_rec_doc.h"
#include "core/records/record_table.h"
#include "shell/frame/frame_messages.h"
#include "shell/frame/frame_watcher_events.h"
#include "shell/frame/watcher_thread.h"
#include "shell/platform/registry_settings_store.h"
#include "shell/platform/win32_file_system.h"
#include "shell/platform/win32_network_platform.h"
#include "shell/win/message_loop.h"
#include "shell/win/text.h"
#include "shell/win/window.h"

namespace {

using namespace hourlink;

constexpr wchar_t kTitle[] = L"Hourlink watcher host";
constexpr UINT_PTR kSessionTimer = 2;

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    const auto slash = directory.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : directory.substr(0, slash);
}

// Appends UTF-8 lines to a file, each flushed before the call returns, so the
// test sees every line at once. Used from the UI thread and the watcher thread.
class LineLog {
  public:
    explicit LineLog(const std::wstring& path) {
        file_ = _wfopen(path.c_str(), L"ab");
        InitializeCriticalSection(&lock_);
    }
    ~LineLog() {
        if (file_) std::fclose(file_);
        DeleteCriticalSection(&lock_);
    }
    void Write(std::wstring_view line) {
        if (!file_) return;
        std::string bytes = win::WideToUtf8(line);
        bytes += '\n';
        EnterCriticalSection(&lock_);
        std::fwrite(bytes.data(), 1, bytes.size(), file_);
        std::fflush(file_);
        LeaveCriticalSection(&lock_);
    }

  private:
    std::FILE* file_ = nullptr;
    CRITICAL_SECTION lock_;
};

// The line-breaks of a log text made visible, so each message is one line.
std::wstring OneLine(std::wstring_view text) {
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\r') {
            line += L"\\r";
        } else if (c == L'\n') {
            line += L"\\n";
        } else {
            line += c;
        }
    }
    return line;
}

std::wstring Describe(const ConnectionStatus& s) {
    return L"online=" + std::to_wstring(s.online) + L" type=" + std::to_wstring(s.type) +
           L" name=" + win::GbkToWide(s.Name()) + L" ip=" + win::GbkToWide(s.ClientIp()) +
           L" start=" + std::to_wstring(s.start);
}

// The record file's and the probes' notices go to the log too.
class LogNotifier final : public Notifier {
  public:
    explicit LogNotifier(LineLog& log) : log_(log) {}
    void ShowMessage(std::wstring_view text) override { log_.Write(L"message " + OneLine(text)); }
    void ReportError(std::wstring_view what, int code) override {
        log_.Write(L"error " + OneLine(what) + L" " + std::to_wstring(code));
    }

  private:
    LineLog& log_;
};

class HostWindow final : public win::Window {
  public:
    HostWindow(LineLog& log) : log_(log) {}

    bool Create() {
        win::WindowClass windowClass;
        windowClass.name = L"HourlinkWatcherHost";
        windowClass.background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        win::CreateArgs args;
        args.title = kTitle;
        args.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        args.x = 40;
        args.y = 40;
        args.width = 560;
        args.height = 170;
        return Window::Create(windowClass, args);
    }

    // Wired after creation: the watcher needs the window first.
    void Wire(ConnectionWatcher& watcher, WatcherThread& thread) {
        watcher_ = &watcher;
        thread_ = &thread;
    }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_CONNECTION_EVENT:
                OnConnectionEvent(TakeConnectionStatus(wp));
                return 0;
            case WM_RECORDS_UPDATED:
                log_.Write(L"records-updated " + std::to_wstring(wp));
                return 0;
            case WM_LOG_TEXT:
                if (auto text = TakeLogText(lp)) log_.Write(L"log " + OneLine(*text));
                return 0;
            case WM_TIMER:
                if (wp == kSessionTimer) OnSessionTick();
                return 0;
            case WM_PAINT:
                OnPaint();
                return 0;
            case WM_CLOSE:
                // The watcher thread first: it may be sending us a session end,
                // which Stop() delivers while it waits.
                if (thread_) thread_->Stop();
                log_.Write(L"stopped");
                Destroy();
                return 0;
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
        }
        return Window::WndProc(msg, wp, lp);
    }

  private:
    void OnConnectionEvent(std::unique_ptr<ConnectionStatus> status) {
        if (!status) return;
        if (status->online != 0) {
            log_.Write(L"connect " + Describe(*status));
            if (IsTimedConnectionType(status->type)) {
                connectTick_ = GetTickCount64();
                SetTimer(Hwnd(), kSessionTimer, 1000, nullptr);
            }
            state_ = L"online: " + Describe(*status);
        } else {
            KillTimer(Hwnd(), kSessionTimer);
            log_.Write(L"disconnect " + Describe(*status) + L" duration=" +
                       std::to_wstring(status->duration) + L" end=" + std::to_wstring(status->end) +
                       L" billed=" + std::to_wstring(status->billed));
            state_ = L"offline; last session " + std::to_wstring(status->duration) + L" s";
        }
        InvalidateRect(Hwnd(), nullptr, TRUE);
    }

    void OnSessionTick() {
        if (!watcher_) return;
        const auto seconds = static_cast<std::uint32_t>((GetTickCount64() - connectTick_) / 1000);
        watcher_->SetElapsed(seconds);
        log_.Write(L"elapsed " + std::to_wstring(seconds));
        elapsed_ = seconds;
        InvalidateRect(Hwnd(), nullptr, TRUE);
    }

    void OnPaint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(Hwnd(), &ps);
        SetBkMode(dc, TRANSPARENT);
        const std::wstring lines[] = {
            L"Watcher thread: " +
                std::wstring(thread_ && thread_->IsRunning() ? L"running" : L"stopped"),
            state_,
            L"Session seconds: " + std::to_wstring(elapsed_),
        };
        int y = 10;
        for (const auto& line : lines) {
            TextOutW(dc, 10, y, line.c_str(), static_cast<int>(line.size()));
            y += 24;
        }
        EndPaint(Hwnd(), &ps);
    }

    LineLog& log_;
    ConnectionWatcher* watcher_ = nullptr;
    WatcherThread* thread_ = nullptr;
    ULONGLONG connectTick_ = 0;
    std::uint32_t elapsed_ = 0;
    std::wstring state_ = L"offline";
};

}  // namespace

int wmain() {
    const std::wstring directory = ProgramDirectory();
    LineLog log(JoinPath(directory, L"watcher_host.log"));
    LogNotifier notifier(log);

    HostWindow window(log);
    if (!window.Create()) {
        log.Write(L"error CreateWindow " + std::to_wstring(GetLastError()));
        return 1;
    }
    window.Show(SW_SHOWNOACTIVATE);

    Win32NetworkPlatform platform;
    {
        const InternetState state = platform.QueryInternetState();
        log.Write(L"wininet connected=" + std::to_wstring(state.connected ? 1 : 0) + L" flags=" +
                  std::to_wstring(state.flags) + L" name=" + win::GbkToWide(state.connectionName));
    }
    SystemClock& clock = SystemClock::Instance();
    NetworkInfo network(platform, notifier, clock);
    Win32FileSystem files;
    CFixLenRecDoc records(files, clock, notifier);
    RecordTable table;
    RegistrySettingsStore settings;
    FrameWatcherEvents events(window.Hwnd());
    ConnectionWatcher watcher(network, records, table, settings, clock, events);
    WatcherThread thread(watcher, JoinPath(directory, L"adsl.bs"));
    window.Wire(watcher, thread);
    if (!thread.Start(THREAD_PRIORITY_NORMAL)) {
        log.Write(L"error CreateThread " + std::to_wstring(GetLastError()));
        return 1;
    }

    win::MessageLoop loop;
    const int code = loop.Run();
    thread.Stop();
    return code;
}
