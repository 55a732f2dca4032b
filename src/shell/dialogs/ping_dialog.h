// The ping tool (dialog 102, "Ping"): sends an ICMP echo request to a host twice
// a second through a Pinger of its own, prints a line per reply or failure and
// keeps the message loss in percent. Runs on the window thread; each tick waits
// at most the time-out for its reply.
#pragma once

#include <windows.h>

#include <string_view>

#include "core/base/clock.h"
#include "core/net/network_platform.h"
#include "core/net/pinger.h"
#include "shell/win/dialog.h"

namespace hourlink {

class PingDialog : public win::Dialog {
  public:
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kTickMs = 500;
    // Once the output holds this many lines, only the last kKeptLines remain.
    static constexpr int kMaxLines = 200;
    static constexpr int kKeptLines = 100;

    // `platform` starts the socket library itself, so the tool works whether
    // or not the connection watcher has started it.
    explicit PingDialog(NetworkPlatform& platform, const Clock& clock = SystemClock::Instance());
    ~PingDialog() override;

    bool Running() const { return timer_ != 0; }
    // Appends `line` to the output and shows it.
    void AppendLine(std::wstring_view line);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    // Enter is the start button's (the default button); it never closes.
    void OnOK() override {}
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    void Start();
    void Stop();
    void OnTick();
    void SetNumber(int control, int value);

    Pinger pinger_;
    UINT_PTR timer_ = 0;
    int maxMessageSize_ = 0;
    int loss_ = 0;
};

}  // namespace hourlink
