// Where a small window saved at some place on the screen shows again: the
// monitors of this start may differ from those of the last (a monitor
// unplugged, the resolution lowered), and a window placed where no monitor is
// can never be seen or dragged back.
#pragma once

#include <optional>
#include <span>

#include "core/settings/settings.h"

namespace hourlink {

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

struct MonitorArea {
    ScreenRect monitor;  // the whole monitor
    ScreenRect work;     // without the task bar
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The top-left corner for a window of `width` x `height` saved at `saved`:
//  - no saved placement (any value missing): the screen's corner (0,0);
//  - otherwise the saved corner, with the monitor taken that the corner's
//    icon-sized piece of the window meets (or, when it meets none, the nearest
//    one): Left is cut to at most that monitor's right edge minus an icon's
//    width and Top to its bottom edge minus an icon's height, so a window
//    beyond the right or bottom edge shows at least that much;
//  - a corner that then still meets no work area (left of or above every
//    monitor, or between them) is moved into the chosen monitor's work area.
// With one monitor at (0,0) the cut is the screen width and height minus the
// icon's. `monitors` lists the primary first; an empty list gives (0,0).
ScreenPoint PlaceOnMonitors(const std::optional<WindowPlacement>& saved,
                            std::span<const MonitorArea> monitors, int width, int height,
                            int iconWidth, int iconHeight);

}  // namespace hourlink
