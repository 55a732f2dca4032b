// The ping tool (dialog 102, "Ping"): sends an ICMP echo request to a host twice
// a second, prints a line per reply or failure and keeps the message loss in
// percent. The requests go out from a thread of their own, with a network
// platform and a Pinger of its own: the window never waits for a reply, however
// long the time-out, and a run the user stops or a closed window leaves behind
// finishes its last request alone and reports nothing.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/base/clock.h"
#include "core/net/network_platform.h"
#include "core/net/pinger.h"
#include "shell/win/dialog.h"

namespace hourlink {

class PingDialog : public win::Dialog {
  public:
    static constexpr UINT kTickMs = 500;
    // Posted by the run's thread when it has results for the window.
    static constexpr UINT kResultsMessage = WM_APP + 1;
    // Once the output holds this many lines, only the last kKeptLines remain.
    static constexpr int kMaxLines = 200;
    static constexpr int kKeptLines = 100;

    // Makes the platform a run uses on its thread; it starts the socket
    // library itself, so the tool works whether or not the connection watcher
    // has. `clock` must live as long as the process (a run may outlive the
    // window).
    using PlatformFactory = std::function<std::unique_ptr<NetworkPlatform>()>;
    explicit PingDialog(PlatformFactory makePlatform,
                        const Clock& clock = SystemClock::Instance());
    ~PingDialog() override;

    bool Running() const { return run_ != nullptr; }
    // Appends `line` to the output and shows it.
    void AppendLine(std::wstring_view line);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    // Enter is the start button's (the default button); it never closes.
    void OnOK() override {}
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    // What a run's thread reports, in order.
    struct Result {
        enum class Kind { Opened, OpenFailed, Reply, Failed } kind;
        std::wstring message;
        int number = 0;  // Opened: the largest message; Reply, Failed: the loss
    };
    // Shared by the window and one run's thread: the thread adds results and
    // ends when `stop` is set; the window takes the results.
    struct Run {
        std::mutex mutex;
        std::condition_variable wake;
        bool stop = false;
        std::deque<Result> results;
        HWND window = nullptr;
    };
    static void Work(std::shared_ptr<Run> run, std::unique_ptr<NetworkPlatform> platform,
                     const Clock& clock, int timeoutMs, std::string host, int size);

    void Start();
    void Stop();
    void OnResults();
    void SetNumber(int control, int value);

    PlatformFactory makePlatform_;
    const Clock& clock_;
    std::shared_ptr<Run> run_;
    int maxMessageSize_ = 0;
    int loss_ = 0;
};

}  // namespace hourlink
