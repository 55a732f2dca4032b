#include "tracker/session_clock.h"

#include <algorithm>

#include "base/time_format.h"

namespace hourlink {

std::wstring SessionStartText(std::int64_t start, std::int64_t now) {
    const auto tm = ToLocalTime(start);
    if (!tm || tm->tm_year + 1900 < 1982) return FormatLocalTime(now);
    return FormatDateTime(*tm);
}

WindowRect PlaceOnScreen(const WindowPlacement& saved, int screenWidth, int screenHeight,
                         int iconWidth, int iconHeight) {
    WindowRect r;
    r.width = saved.right - saved.left;
    r.height = saved.bottom - saved.top;
    r.x = std::min(saved.left, screenWidth - iconWidth);
    r.y = std::min(saved.top, screenHeight - iconHeight);
    return r;
}

}  // namespace hourlink
