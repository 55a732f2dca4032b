#include "core/accounting/session_clock.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/base/time_format.h"

namespace hourlink {

std::wstring SessionStartText(std::int64_t start, std::int64_t now) {
    const auto tm = ToLocalTime(start);
    if (!tm || tm->tm_year + 1900 < 1982) return FormatLocalTime(now);
    return FormatDateTime(*tm);
}

WindowRect PlaceOnScreen(const WindowPlacement& saved, int screenWidth, int screenHeight,
                         int iconWidth, int iconHeight) {
    // Hand-edited values may lie so far apart that the size does not fit an
    // int: such a size counts as none, and the window keeps its default one.
    const auto size = [](int low, int high) {
        const std::int64_t n = std::int64_t{high} - low;
        return n > 0 && n <= std::numeric_limits<int>::max() ? static_cast<int>(n) : 0;
    };
    WindowRect r;
    r.width = size(saved.left, saved.right);
    r.height = size(saved.top, saved.bottom);
    r.x = std::min(saved.left, screenWidth - iconWidth);
    r.y = std::min(saved.top, screenHeight - iconHeight);
    return r;
}

}  // namespace hourlink
