#include "core/ui/tray_rules.h"

#include <algorithm>

namespace hourlink {

std::optional<DropTheme> FindDropTheme(unsigned command) {
    for (const DropTheme& theme : kDropThemes) {
        if (theme.command == command) return theme;
    }
    return std::nullopt;
}

Colour DropTextColour(const DropTheme& theme, DropAlarmState alarm) {
    switch (alarm) {
        case DropAlarmState::kMonth:
            return Rgb(255, 0, 0);
        case DropAlarmState::kDay:
            return Rgb(255, 255, 0);
        case DropAlarmState::kNone:
            break;
    }
    return theme.text;
}

std::wstring CutTipText(std::wstring_view tip, std::size_t capacity) {
    if (capacity == 0) return {};
    std::size_t length = std::min(tip.size(), capacity - 1);
    // A high surrogate whose low half would be cut off goes too. (wchar_t is
    // UTF-16 on Windows; elsewhere no character falls in this range.)
    if (length > 0 && length < tip.size()) {
        const auto last = static_cast<std::uint32_t>(tip[length - 1]);
        if (last >= 0xD800 && last <= 0xDBFF) --length;
    }
    return std::wstring(tip.substr(0, length));
}

}  // namespace hourlink
