#include "core/ui/tip_geometry.h"

#include <algorithm>

namespace hourlink {

namespace {

int Channel(Colour c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

Colour MakeColour(int r, int g, int b) {
    return static_cast<Colour>(r & 0xFF) | static_cast<Colour>(g & 0xFF) << 8 |
           static_cast<Colour>(b & 0xFF) << 16;
}

// Per channel: from + (to - from) * num / den.
Colour Between(Colour from, Colour to, int num, int den) {
    int c[3];
    for (int i = 0; i < 3; ++i) {
        const int a = Channel(from, 8 * i);
        c[i] = a + (Channel(to, 8 * i) - a) * num / den;
    }
    return MakeColour(c[0], c[1], c[2]);
}

bool LeftHand(int direction) {
    return direction == kAboveLeft || direction == kBelowLeft;
}

bool Upper(int direction) {
    return direction == kAboveLeft || direction == kAboveRight;
}

}  // namespace

TextSize TipBodySize(TextSize text, std::optional<TextSize> icon, const TipSizes& sizes,
                     unsigned styles) {
    TextSize size = text;
    if (icon) {
        size.width += icon->width + sizes[kMarginX];
        size.height = std::max(size.height, icon->height);
    }
    size.width += 2 * sizes[kMarginX];
    size.height += sizes[kPointerHeight] + 2 * sizes[kMarginY];
    if (styles & kTipShadow) {
        size.width += sizes[kShadowX];
        size.height += sizes[kShadowY];
    }
    return size;
}

TipShape PlaceTip(TextSize size, TipPoint cursor, TextSize screen, int direction,
                  const TipSizes& sizes, unsigned styles) {
    TipShape shape;
    if (direction < kAboveLeft || direction > kBelowRight) direction = kBelowRight;
    const int w = std::max(0, size.width);
    const int h = std::max(0, size.height);
    TipRect& r = shape.window;

    auto placeX = [&] {
        if (LeftHand(direction)) {
            r.right = std::min(cursor.x + sizes[kPointerDistance], screen.width);
            r.left = r.right - w;
        } else {
            r.left = std::max(cursor.x - sizes[kPointerDistance], 0);
            r.right = r.left + w;
        }
    };
    auto placeY = [&] {
        if (Upper(direction)) {
            r.bottom = cursor.y;
            r.top = r.bottom - h;
        } else {
            r.top = cursor.y;
            r.bottom = r.top + h;
        }
    };
    // One flip per axis, then inside the screen: a tip too large for either
    // side would otherwise flip for ever.
    placeX();
    if (r.left < 0 || r.right > screen.width) {
        direction ^= 1;
        placeX();
        if (r.left < 0 || r.right > screen.width) {
            r.left = std::clamp(r.left, 0, std::max(0, screen.width - w));
            r.right = r.left + w;
        }
    }
    placeY();
    if (r.top < 0 || r.bottom > screen.height) {
        direction ^= 2;
        placeY();
        if (r.top < 0 || r.bottom > screen.height) {
            r.top = std::clamp(r.top, 0, std::max(0, screen.height - h));
            r.bottom = r.top + h;
        }
    }
    shape.direction = direction;

    shape.shadow = (styles & kTipShadow) != 0;
    if (shape.shadow) {
        shape.shadowOffset = {sizes[kShadowX], sizes[kShadowY]};
        // The shadow lies right of the body: a tip measured from its right edge
        // moves by it so that the pointer still meets the cursor.
        if (LeftHand(direction)) {
            r.left += sizes[kShadowX];
            r.right += sizes[kShadowX];
        }
    }

    // The body, in the window's coordinates, without shadow and pointer.
    const int bodyWidth = std::max(0, w - shape.shadowOffset.x);
    const int bodyHeight = std::max(0, h - shape.shadowOffset.y);
    const int pointer = std::min(sizes[kPointerHeight], bodyHeight);
    shape.body = {0, 0, bodyWidth, bodyHeight};
    if (Upper(direction)) {
        shape.body.bottom -= pointer;
    } else {
        shape.body.top += pointer;
    }
    shape.rounded = (styles & kTipRounded) != 0;

    shape.pointer = (styles & kTipPointer) != 0;
    if (shape.pointer) {
        const TipPoint apex = {std::clamp(cursor.x - r.left, 0, bodyWidth),
                               std::clamp(cursor.y - r.top, 0, bodyHeight)};
        const int edge = Upper(direction) ? shape.body.bottom : shape.body.top;
        int near;
        int far;
        if (LeftHand(direction)) {
            near = shape.body.right - sizes[kPointerDistance];
            far = near - sizes[kPointerWidth];
        } else {
            near = shape.body.left + sizes[kPointerDistance];
            far = near + sizes[kPointerWidth];
        }
        shape.triangle = {apex, TipPoint{near, edge}, TipPoint{far, edge}};
    }

    TipRect c = {sizes[kMarginX], sizes[kMarginY], bodyWidth - sizes[kMarginX],
                 bodyHeight - sizes[kMarginY]};
    if (Upper(direction)) {
        c.bottom -= pointer;
    } else {
        c.top += pointer;
    }
    c.right = std::max(c.left, c.right);
    c.bottom = std::max(c.top, c.bottom);
    shape.content = c;
    return shape;
}

std::vector<GradientBand> GradientBands(Colour begin, Colour end, int length) {
    std::vector<GradientBand> bands;
    if (length <= 0) return bands;
    constexpr int kBands = 64;
    for (int u = 0; u < kBands; ++u) {
        GradientBand band;
        band.from = static_cast<int>(std::int64_t{u} * length / kBands);
        band.to = static_cast<int>(std::int64_t{u + 1} * length / kBands);
        if (band.to <= band.from) continue;
        int c[3];
        for (int i = 0; i < 3; ++i) {
            c[i] = (Channel(begin, 8 * i) * (kBands - u) + Channel(end, 8 * i) * u) / kBands;
        }
        band.colour = MakeColour(c[0], c[1], c[2]);
        bands.push_back(band);
    }
    return bands;
}

std::vector<TipFill> EffectFills(int effect, int width, int height, Colour begin, Colour middle,
                                 Colour end) {
    std::vector<TipFill> fills;
    if (width <= 0 || height <= 0) return fills;
    // A gradient over [from, to) of the x axis (horizontal) or the y axis.
    auto gradient = [&](bool horizontal, int from, int to, Colour a, Colour b) {
        for (const GradientBand& band : GradientBands(a, b, to - from)) {
            TipRect r = horizontal ? TipRect{from + band.from, 0, from + band.to, height}
                                   : TipRect{0, from + band.from, width, from + band.to};
            fills.push_back({r, band.colour});
        }
    };
    const int halfW = width / 2;
    const int halfH = height / 2;
    switch (effect) {
        case 1:
            gradient(true, 0, width, begin, end);
            break;
        case 2:
            gradient(false, 0, height, begin, end);
            break;
        case 3:
            gradient(true, 0, halfW, begin, end);
            gradient(true, halfW, width, end, begin);
            break;
        case 4:
            gradient(false, 0, halfH, begin, end);
            gradient(false, halfH, height, end, begin);
            break;
        case 5:
            gradient(true, 0, halfW, begin, middle);
            gradient(true, halfW, width, middle, end);
            break;
        case 6:
            gradient(false, 0, halfH, begin, middle);
            gradient(false, halfH, height, middle, end);
            break;
        default:
            fills.push_back({TipRect{0, 0, width, height}, begin});
    }
    return fills;
}

namespace {

int Cube(int a) {
    return a * a * a;
}

// The cubic ramp of effects 11..14 for position `at` of `extent`, high at the
// far end: about -127 .. 128.
int CubicRamp(int at, int extent) {
    return Cube(at * 255 / extent - 127) / 16384;
}

}  // namespace

EffectImage MakeEffectImage(int effect, int granularity, int width, int height, Colour begin,
                            Colour middle, Colour end, MsvcRand& random) {
    EffectImage image;
    const int w = std::clamp(width, 0, kMaxEffectSide);
    const int h = std::clamp(height, 0, kMaxEffectSide);
    // Amplitudes past 127 would turn the ramps' scale negative, and past 16383
    // make the noise's divisor 0.
    const int g = std::clamp(granularity, 0, 127);

    // Entries 0..128 from the end to the middle colour, 128..255 from the
    // middle to the begin colour; each then 5 per cent nearer the begin colour.
    for (int i = 0; i < 256; ++i) {
        const Colour c =
            i <= 128 ? Between(end, middle, i, 128) : Between(middle, begin, i - 128, 127);
        image.palette[static_cast<size_t>(i)] = Between(c, begin, 5, 100);
    }
    if (w == 0 || h == 0) return image;
    image.width = w;
    image.height = h;
    image.stride = (w + 3) & ~3;
    image.pixels.assign(static_cast<size_t>(image.stride) * static_cast<size_t>(h), 0);

    // The pattern, before noise, row 0 at the bottom.
    std::vector<int> base(static_cast<size_t>(w) * static_cast<size_t>(h), 128);
    auto at = [&](int x, int y) -> int& { return base[static_cast<size_t>(y) * w + x]; };
    // Keeps a value where noise cannot carry it past either end of the palette.
    auto inside = [&](int q) { return q < g ? g : (q > 255 - g ? 255 - g : q); };
    // A linear ramp 0..255 squeezed into g .. 255 - g.
    auto squeeze = [&](int q) { return g + q * (255 - 2 * g) / 255; };

    for (int y = 0; y < h; ++y) {
        const int v = CubicRamp(y, h);  // high at the top
        for (int x = 0; x < w; ++x) {
            const int u = CubicRamp(w - x, w);  // high at the left
            int q = 128;
            switch (effect) {
                case 8:
                case 15:
                    q = squeeze(((w - x) * 255 / w + y * 255 / h) / 2);
                    break;
                case 9:
                    q = squeeze(y * 255 / h);
                    break;
                case 10:
                    q = squeeze((w - x) * 255 / w);
                    break;
                case 11:
                    q = inside(v * (128 - g) / 128 + 128);
                    break;
                case 12:
                    q = inside(u * (128 - g) / 128 + 128);
                    break;
                case 13:
                    q = inside((v + u) * (128 - g) / 128 + 128);
                    break;
                case 14: {
                    // Bands bend down towards both sides.
                    const int side = (2 * x - w) * 127 / w;
                    q = inside((v - side * side / 256) * (128 - g) / 128 + 128);
                    break;
                }
                default:  // 7: noise around the middle
                    break;
            }
            at(x, y) = q;
        }
    }
    if (effect == 15) {
        // 200 strokes rising to the right, each a little lighter or darker.
        const int longest = std::max(1, std::min(w, h) / 2);
        for (int k = 0; k < 200; ++k) {
            const int x0 = random.Next() % w;
            const int y0 = random.Next() % h;
            const int length = 4 + random.Next() % longest;
            const int delta = random.Next() % 2 ? 24 : -24;
            for (int i = 0; i < length && x0 + i < w && y0 + i < h; ++i) {
                at(x0 + i, y0 + i) = inside(at(x0 + i, y0 + i) + delta);
            }
        }
    }

    const int divisor = g == 0 ? 32767 : 32767 / (2 * g);
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = image.pixels.data() + static_cast<size_t>(y) * image.stride;
        for (int x = 0; x < w; ++x) {
            const int noise = random.Next() / divisor - g;
            row[x] = static_cast<std::uint8_t>((at(x, y) + noise) & 0xFF);
        }
    }
    return image;
}

}  // namespace hourlink
