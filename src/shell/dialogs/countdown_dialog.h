// The modal dialogs that count down before an automatic action: a message, a
// progress bar that empties, the seconds left, the action button and "取消".
// Time is taken from the tick counter, not from the number of timer messages,
// so a timer message that arrives late never stretches the countdown.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "shell/win/dialog.h"

namespace hourlink {

class CountdownDialog : public win::Dialog {
  public:
    // Milliseconds from an arbitrary origin, never going backwards.
    using TickSource = std::function<std::uint64_t()>;

    static constexpr int kDefaultSeconds = 20;
    // The dialog's results.
    static constexpr INT_PTR kAct = IDOK;         // the action button or the time ran out
    static constexpr INT_PTR kCancel = IDCANCEL;  // "取消" or the close box

    // `secondsFormat` is the seconds line's printf format with one %d.
    // `seconds` and `ticks` are for tests; the program counts 20 seconds of
    // GetTickCount64.
    CountdownDialog(UINT templateId, const wchar_t* secondsFormat, bool bringToForeground,
                    int seconds = kDefaultSeconds, TickSource ticks = {});
    ~CountdownDialog() override;

    // A message in place of the template's; empty keeps the template's.
    void SetMessage(std::wstring message) { message_ = std::move(message); }

    // The seconds left as of the last timer message, or -1 before the first.
    int SecondsLeft() const { return secondsLeft_; }

  protected:
    bool OnInitDialog() override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    static constexpr UINT_PTR kTimerId = 1;

    void OnTimer();

    const wchar_t* secondsFormat_;
    bool bringToForeground_;
    int seconds_;
    TickSource ticks_;
    std::uint64_t openedAt_ = 0;
    UINT_PTR timer_ = 0;
    int secondsLeft_ = -1;
    std::wstring message_;
};

// Dialog 153 before hanging up at a time limit; brought to the foreground.
class HangUpCountdownDialog : public CountdownDialog {
  public:
    explicit HangUpCountdownDialog(int seconds = kDefaultSeconds, TickSource ticks = {});
};

// Dialog 159 before shutting the computer down.
class ShutdownCountdownDialog : public CountdownDialog {
  public:
    explicit ShutdownCountdownDialog(int seconds = kDefaultSeconds, TickSource ticks = {});
};

}  // namespace hourlink
