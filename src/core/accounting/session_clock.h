// What the main frame measures and shows of a running session, free of windows:
// its length from the tick counter, the start-time text, and where a saved
// window placement goes on the screen.
#pragma once

#include <cstdint>
#include <string>

#include "core/settings/settings.h"

namespace hourlink {

// The length of the running session: the seconds it had lasted when the frame
// heard of it, plus the seconds counted since on the millisecond tick counter.
// Changing the wall clock during a session does not change it.
class SessionClock {
  public:
    // `now` and `start` are seconds since 1970; `tick` the millisecond counter.
    void Start(std::int64_t now, std::int64_t start, std::uint32_t tick) {
        elapsedAtConnect_ = now > start ? static_cast<std::uint32_t>(now - start) : 0;
        tickAtConnect_ = tick;
    }
    // Unsigned 32-bit arithmetic: the counter may wrap around during a session.
    std::uint32_t Elapsed(std::uint32_t tick) const {
        return elapsedAtConnect_ + (tick - tickAtConnect_) / 1000;
    }
    std::uint32_t ElapsedAtConnect() const { return elapsedAtConnect_; }

  private:
    std::uint32_t elapsedAtConnect_ = 0;
    std::uint32_t tickAtConnect_ = 0;
};

// The session's start as "%Y/%m/%d %H:%M:%S" in local time; a start whose local
// year is before 1982 (no real start known) shows `now` instead.
std::wstring SessionStartText(std::int64_t start, std::int64_t now);

// Where a window with a saved placement goes: the saved rectangle, pulled back
// so that at least an icon's width and height stay on the screen. A width or
// height that is not positive or does not fit an int is 0.
struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
WindowRect PlaceOnScreen(const WindowPlacement& saved, int screenWidth, int screenHeight,
                         int iconWidth, int iconHeight);

}  // namespace hourlink
