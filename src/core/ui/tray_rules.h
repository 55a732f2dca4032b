// What the notification-area icon and the floating drop window show, decided
// without windows: the seven colour themes of the tray menu, the colour of the
// drop window's figures while a limit is passed, and the tip text cut to the
// room the shell gives it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/accounting/limits.h"

namespace hourlink {

// A colour as Windows keeps it (COLORREF): 0x00BBGGRR.
using Colour = std::uint32_t;
constexpr Colour Rgb(int r, int g, int b) {
    return static_cast<Colour>(r & 0xFF) | static_cast<Colour>(g & 0xFF) << 8 |
           static_cast<Colour>(b & 0xFF) << 16;
}

struct DropTheme {
    unsigned command;  // the tray menu's command id, 32797..32803
    std::wstring_view name;
    Colour background;
    Colour text;  // the figures' colour while no limit is passed
};

inline constexpr unsigned kFirstThemeCommand = 32797;
inline constexpr unsigned kLastThemeCommand = 32803;
// Every start of the program begins with black and green.
inline constexpr unsigned kDefaultThemeCommand = kFirstThemeCommand;

inline constexpr std::array<DropTheme, 7> kDropThemes{{
    {32797, L"正常颜色", Rgb(0, 0, 0), Rgb(0, 255, 0)},
    {32798, L"绿色青林", Rgb(153, 204, 153), Rgb(0, 255, 255)},
    {32799, L"蓝色畅想", Rgb(153, 204, 255), Rgb(0, 255, 255)},
    {32800, L"紫色情怀", Rgb(204, 102, 204), Rgb(0, 255, 255)},
    {32801, L"浓情咖啡", Rgb(204, 153, 153), Rgb(0, 255, 255)},
    {32802, L"本色金属", Rgb(204, 204, 255), Rgb(0, 255, 255)},
    {32803, L"铿锵玫瑰", Rgb(255, 102, 102), Rgb(0, 255, 255)},
}};

// The theme of a menu command; nothing for any other id.
std::optional<DropTheme> FindDropTheme(unsigned command);

// The colour of the drop window's texts: red once the monthly limit is
// passed, yellow once the daily limit is reached, else the theme's own.
Colour DropTextColour(const DropTheme& theme, DropAlarmState alarm);

// The tip as it fits a buffer of `capacity` characters with its terminating
// NUL: cut at a character boundary (never between the halves of a surrogate
// pair) when it is longer. Empty when there is no room at all.
std::wstring CutTipText(std::wstring_view tip, std::size_t capacity);

}  // namespace hourlink
