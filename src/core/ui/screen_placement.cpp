#include "core/ui/screen_placement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace hourlink {

namespace {

std::int64_t Overlap(const ScreenRect& a, const ScreenRect& b) {
    const std::int64_t w = std::int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left);
    const std::int64_t h = std::int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top);
    return w > 0 && h > 0 ? w * h : 0;
}

// The squared gap between two rectangles; 0 when they touch or overlap. In
// floating point: gaps across the whole int range square past 64 bits.
double Distance(const ScreenRect& a, const ScreenRect& b) {
    const auto dx = static_cast<double>(
        std::max<std::int64_t>({0, std::int64_t{b.left} - a.right, std::int64_t{a.left} - b.right}));
    const auto dy = static_cast<double>(
        std::max<std::int64_t>({0, std::int64_t{b.top} - a.bottom, std::int64_t{a.top} - b.bottom}));
    return dx * dx + dy * dy;
}

ScreenRect Grip(int x, int y, int iconWidth, int iconHeight) {
    return {x, y, x + iconWidth, y + iconHeight};
}

}  // namespace

ScreenPoint PlaceOnMonitors(const std::optional<WindowPlacement>& saved,
                            std::span<const MonitorArea> monitors, int width, int height,
                            int iconWidth, int iconHeight) {
    if (!saved || monitors.empty()) return {0, 0};
    iconWidth = std::max(iconWidth, 1);
    iconHeight = std::max(iconHeight, 1);
    // A hand-edited corner near the top of the int range is off every monitor
    // as much as one a little nearer; keep the far edge of its grip an int.
    int x = std::min(saved->left, std::numeric_limits<int>::max() - iconWidth);
    int y = std::min(saved->top, std::numeric_limits<int>::max() - iconHeight);

    // The monitor whose work area the corner's grip meets most, else the nearest.
    const ScreenRect grip = Grip(x, y, iconWidth, iconHeight);
    const MonitorArea* chosen = nullptr;
    std::int64_t best = 0;
    for (const MonitorArea& m : monitors) {
        const std::int64_t overlap = Overlap(grip, m.work);
        if (overlap > best) {
            best = overlap;
            chosen = &m;
        }
    }
    if (!chosen) {
        double nearest = std::numeric_limits<double>::infinity();
        for (const MonitorArea& m : monitors) {
            const double d = Distance(grip, m.work);
            if (d < nearest) {
                nearest = d;
                chosen = &m;
            }
        }
    }

    x = std::min(x, chosen->monitor.right - iconWidth);
    y = std::min(y, chosen->monitor.bottom - iconHeight);
    const ScreenRect& work = chosen->work;
    if (Overlap(Grip(x, y, iconWidth, iconHeight), work) == 0) {
        // Wholly inside when it fits, else its top-left corner at the area's.
        x = std::clamp(x, work.left, std::max(work.left, work.right - width));
        y = std::clamp(y, work.top, std::max(work.top, work.bottom - height));
    }
    return {x, y};
}

}  // namespace hourlink
