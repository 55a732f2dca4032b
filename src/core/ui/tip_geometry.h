// The arithmetic of the formatted tooltip's window: its size around the text
// and icon, where it goes beside the cursor (flipping at the screen's edges),
// the shapes of its body, pointer and shadow, and its background fills and
// noise images. Portable: the window class turns these into GDI calls.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/base/msvc_rand.h"
#include "core/ui/markup.h"

namespace hourlink {

// Style flags.
constexpr unsigned kTipPointer = 0x01;
constexpr unsigned kTipShadow = 0x02;
constexpr unsigned kTipRounded = 0x04;
constexpr unsigned kTipTextCentred = 0x08;
constexpr unsigned kTipTextBottom = 0x10;
constexpr unsigned kTipIconCentred = 0x20;
constexpr unsigned kTipIconBottom = 0x40;
constexpr unsigned kTipWhenInactive = 0x100;
constexpr unsigned kTipDisabledTools = 0x200;

// Behaviour flags.
constexpr unsigned kTipRearm = 0x01;
constexpr unsigned kTipKeepInside = 0x04;
constexpr unsigned kTipWaitWhileOver = 0x08;
constexpr unsigned kTipNoAutoHide = 0x10;

// The size table's slots.
enum TipSize : int {
    kCornerWidth,
    kCornerHeight,
    kMarginX,
    kMarginY,
    kShadowX,
    kShadowY,
    kPointerWidth,
    kPointerHeight,
    kPointerDistance,
    kBorderWidth,
    kBorderHeight,
    kTipSizeCount
};
using TipSizes = std::array<int, kTipSizeCount>;
constexpr TipSizes kLargeTipSizes = {16, 16, 12, 12, 4, 4, 12, 16, 16, 1, 1};
constexpr TipSizes kSmallTipSizes = {0, 0, 3, 1, 0, 0, 0, 0, 0, 1, 1};

// Where the tip goes relative to the cursor.
enum TipDirection : int { kAboveLeft = 0, kAboveRight = 1, kBelowLeft = 2, kBelowRight = 3 };

struct TipPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TipPoint&) const = default;
};

struct TipRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const TipRect&) const = default;
};

// The tip's size: the text, the icon left of it (one margin between), the
// margins, the pointer and the shadow.
TextSize TipBodySize(TextSize text, std::optional<TextSize> icon, const TipSizes& sizes,
                     unsigned styles);

struct TipShape {
    int direction = kBelowRight;  // after flipping at the screen's edges
    TipRect window;               // on the screen; the window is 2 pixels larger
    // In the window's coordinates:
    TipRect body;  // the body without pointer and shadow
    bool rounded = false;
    bool pointer = false;
    std::array<TipPoint, 3> triangle{};  // the cursor's point, then two on the body's edge
    bool shadow = false;
    TipPoint shadowOffset;
    TipRect content;  // inside the margins, beside the pointer: icon and text go here
};

// Places a tip of `size` for the cursor at `cursor` on a screen of `screen`.
// A tip that leaves the screen takes the mirrored direction once per axis and
// is then moved inside (a tip larger than the screen starts at its edge).
TipShape PlaceTip(TextSize size, TipPoint cursor, TextSize screen, int direction,
                  const TipSizes& sizes, unsigned styles);

// A band of a gradient: from..to along the gradient's axis.
struct GradientBand {
    int from = 0;
    int to = 0;
    Colour colour = 0;
};
// 64 bands of solid colour over `length` pixels, from `begin` to `end`;
// empty bands are left out.
std::vector<GradientBand> GradientBands(Colour begin, Colour end, int length);

struct TipFill {
    TipRect rect;
    Colour colour = 0;
};
constexpr bool IsImageEffect(int effect) {
    return effect >= 7 && effect <= 15;
}
// The solid fills of effects 0..6 (any other value but 7..15 is effect 0)
// over width x height.
std::vector<TipFill> EffectFills(int effect, int width, int height, Colour begin, Colour middle,
                                 Colour end);

// An 8-bit image with its own palette, rows bottom-up, each `stride` bytes.
struct EffectImage {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> pixels;
    std::array<Colour, 256> palette{};
};
// The largest side of an effect image; the tip is never larger than the screen.
constexpr int kMaxEffectSide = 8192;
// The image of effects 7..15, with noise of amplitude `granularity` (0..127)
// drawn from `random`.
EffectImage MakeEffectImage(int effect, int granularity, int width, int height, Colour begin,
                            Colour middle, Colour end, MsvcRand& random);

}  // namespace hourlink
