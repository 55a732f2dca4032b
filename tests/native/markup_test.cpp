// The formatted tooltip's core: the markup grammar, the two-pass layout with a
// fake text measurer, the tip's size and placement at the screen's edges, and
// the background fills and noise image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ui/markup.h"
#include "core/ui/tip_geometry.h"

namespace hourlink {
namespace {

using Kind = MarkupToken::Kind;

std::string Utf8(std::wstring_view text) {
    std::string out;
    for (wchar_t w : text) {
        const auto c = static_cast<std::uint32_t>(w);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

// A compact spelling of the tokens: T'text', b, /b, ct=255, br3, hr50%, icon156:16x0 ...
std::string Dump(const std::vector<MarkupToken>& tokens) {
    static const char* const kNames[] = {"T",   "b",    "i",    "u",    "s",  "ct", "cti", "cb",
                                         "cbi", "al_l", "al_c", "al_r", "br", "t",  "hr",  "pic"};
    std::string out;
    for (const MarkupToken& t : tokens) {
        if (!out.empty()) out += ' ';
        if (t.closing) out += '/';
        if (t.kind == Kind::Text) {
            out += "T'" + std::string(t.text.begin(), t.text.end()) + "'";
            continue;
        }
        if (t.kind == Kind::Picture) {
            const MarkupPicture& p = t.picture;
            static const char* const kPictures[] = {"icon", "bmp", "img", "ilst"};
            out += kPictures[static_cast<int>(p.kind)];
            out += p.kind == MarkupPicture::Kind::Image
                       ? "'" + std::string(p.name.begin(), p.name.end()) + "'"
                       : std::to_string(p.id);
            out += ":" + std::to_string(p.cx) + "x" + std::to_string(p.cy);
            if (p.hasMask) out += ":mask=" + std::to_string(p.mask);
            continue;
        }
        out += kNames[static_cast<int>(t.kind)];
        const bool counted = t.kind == Kind::Break || t.kind == Kind::Tab || t.kind == Kind::Rule;
        if (t.hasValue) out += (counted ? "" : "=") + std::to_string(t.value);
        if (t.percent) out += '%';
    }
    return out;
}

TEST(MarkupParseTest, Grammar) {
    const MarkupLimits limits{1024, 768};
    struct Case {
        const wchar_t* markup;
        const char* tokens;
    } cases[] = {
        {L"<<b>", "T'<b>'"},  // a doubled bracket is text
        {L"a<b>c</b>", "T'a' b T'c' /b"},
        {L"<B><I><u><S>", "b i u s"},
        {L"< ct = 0x0000FF >x", "ct=255 T'x'"},
        {L"<ct=010><ct=10><ct=0x1f><ct=red>", "ct=8 ct=10 ct=31 ct=0"},  // automatic base
        {L"<ct><cti>", "ct cti"},                                        // defaults later
        {L"a\r\nb\tc", "T'a' br1 T'b' t1 T'c'"},
        {L"x<foo bar=1 = >y<>z", "T'xyz'"},  // unknown tags are skipped
        {L"</br></hr></al_c><al_c>", "al_c"},
        // A tag or value without its ">" ends at the end of the text.
        {L"ab<b", "T'ab' b"},
        {L"<ct=0xFF", "ct=255"},
        {L"<icon=156 cx=16", "icon156:16x0"},
        // Counts: a missing or 0 count is 1, and at most 100.
        {L"<br><br=0><br=1000><t=-5><t=7>", "br1 br1 br100 t1 t7"},
        // Sizes stop at the screen's; a share at the whole width.
        {L"<hr><hr=50%><hr=250%><hr=99999><hr=-3>", "hr100 hr50% hr100% hr1024 hr0"},
        {L"<icon=156 cx=-4 cy=99999><icon=70000><icon=0><icon>", "icon156:0x768"},
        {L"<bmp=2 mask><bmp=3 mask=0x00FF00 cx=8>", "bmp2:0x0:mask=16711935 bmp3:8x0:mask=65280"},
        {L"<img=logo cy=9><img><ilst=3><ilst>", "img'logo':0x9 ilst3:0x0 ilst0:0x0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Dump(ParseMarkup(c.markup, limits)), c.tokens)
            << std::string(c.markup, c.markup + wcslen(c.markup));
    }
}

// Text is 10 pixels a character (12 in bold), 16 high; tab stops every 20.
// Icon 1 is 32 x 32, bitmap 2 is 20 x 10; nothing else loads.
class FakeCanvas : public MarkupCanvas {
  public:
    TextSize MeasureText(std::wstring_view text, const FontStyle& style) override {
        return {static_cast<int>(text.size()) * (style.weight >= 700 ? 12 : 10), 16};
    }
    int FontHeight(const FontStyle&) override { return 16; }
    int AverageCharWidth(const FontStyle&) override { return 5; }
    std::optional<TextSize> PictureSize(const MarkupPicture& p) override {
        if (p.kind == MarkupPicture::Kind::Icon && p.id == 1) return TextSize{32, 32};
        if (p.kind == MarkupPicture::Kind::Bitmap && p.id == 2) return TextSize{20, 10};
        return std::nullopt;
    }
    void DrawText(int x, int y, std::wstring_view text, const FontStyle& style, Colour colour,
                  std::optional<Colour> back) override {
        char line[160];
        std::snprintf(line, sizeof line, "%s@%d,%d c=%06x w=%d%s%s%s%s", Utf8(text).c_str(), x, y,
                      colour, style.weight, style.italic ? " i" : "", style.underline ? " u" : "",
                      style.strikeOut ? " s" : "",
                      back ? (" bg=" + std::to_string(*back)).c_str() : "");
        drawn.push_back(line);
    }
    void DrawRule(int x1, int x2, int y, Colour colour) override {
        char line[80];
        std::snprintf(line, sizeof line, "rule %d..%d@%d c=%06x", x1, x2, y, colour);
        drawn.push_back(line);
    }
    void DrawPicture(const MarkupPicture& p, int x, int y, int cx, int cy) override {
        drawn.push_back("pic" + std::to_string(p.id) + "@" + std::to_string(x) + "," +
                        std::to_string(y) + " " + std::to_string(cx) + "x" + std::to_string(cy));
    }
    std::vector<std::string> drawn;
};

struct Laid {
    MarkupLayout layout;
    std::vector<std::string> drawn;
};

MarkupContext Context() {
    MarkupContext context;
    for (int i = 0; i < kColourSlots; ++i) context.colours[static_cast<size_t>(i)] = 0x100 * i;
    context.colours[11] = 0x0000FF;
    context.limits = {1024, 768};
    return context;
}

// Measures, then draws into an area as wide as the text (or `width`) at 0,0.
Laid Lay(const wchar_t* markup, int width = -1) {
    const MarkupContext context = Context();
    const auto tokens = ParseMarkup(markup, context.limits);
    FakeCanvas canvas;
    Laid laid{MeasureMarkup(tokens, canvas, context), {}};
    DrawMarkup(tokens, laid.layout, canvas, context, 0, 0, width < 0 ? laid.layout.width : width);
    laid.drawn = canvas.drawn;
    return laid;
}

TEST(MarkupLayoutTest, StylesAndColours) {
    struct Case {
        const wchar_t* markup;
        std::vector<std::string> drawn;
    } cases[] = {
        // Closing ct after two nested ones returns to the default (slot 17).
        {L"<ct=0x0000FF>a<ct=0x00AA00>b</ct>c",
         {"a@0,0 c=0000ff w=400", "b@10,0 c=00aa00 w=400", "c@20,0 c=001100 w=400"}},
        // Slots outside 0..25 change nothing; the closing tag gives the default.
        {L"<cti=11>a<cti=99>b<cti=-1>c</cti>d<cti>e",
         {"a@0,0 c=0000ff w=400", "b@10,0 c=0000ff w=400", "c@20,0 c=0000ff w=400",
          "d@30,0 c=001100 w=400", "e@40,0 c=001100 w=400"}},
        // Bold doubles the weight up to 900; its end returns to the font's.
        {L"<b>a<b>b</b>c",
         {"a@0,0 c=001100 w=800", "b@12,0 c=001100 w=900", "c@24,0 c=001100 w=400"}},
        {L"<i><u><s>a</s></u></i>b", {"a@0,0 c=001100 w=400 i u s", "b@10,0 c=001100 w=400"}},
        {L"<cb=0x00FFFF>a</cb>b<cbi>c<cbi=26>d",
         {"a@0,0 c=001100 w=400 bg=65535", "b@10,0 c=001100 w=400", "c@20,0 c=001100 w=400 bg=4608",
          "d@30,0 c=001100 w=400 bg=4608"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Lay(c.markup).drawn, c.drawn)
            << std::string(c.markup, c.markup + wcslen(c.markup));
    }
}

TEST(MarkupLayoutTest, TheOptionsDialogsOkTip) {
    const Laid laid =
        Lay(L"<b><ct=0x0000FF><al_c>确认</b><br><ct=0x00AA00><hr=100%></ct><br>确认这次操作");
    // Lines: the bold title (24), the rule (the widest line's width), the text (60).
    ASSERT_EQ(laid.layout.lines.size(), 3u);
    EXPECT_EQ(laid.layout.width, 60);
    EXPECT_EQ(laid.layout.height, 48);
    EXPECT_EQ(laid.drawn,
              (std::vector<std::string>{"确认@18,0 c=0000ff w=800", "rule 0..60@24 c=00aa00",
                                        "确认这次操作@0,32 c=001100 w=400"}));
}

TEST(MarkupLayoutTest, LinesRulesTabsAndPictures) {
    // A 50% rule grows its line by half the widest line in the measuring pass
    // and is drawn over half the text area.
    Laid half = Lay(L"abcdefghijklmnopqrst<br><hr=50%>");
    ASSERT_EQ(half.layout.lines.size(), 2u);
    EXPECT_EQ(half.layout.lines[1].width, 100);
    EXPECT_EQ(half.drawn.back(), "rule 0..100@24 c=001100");

    // Alignment in force at a line's first item places the line.
    EXPECT_EQ(Lay(L"<al_r>ab<br>abcd<al_c><br>ab", 100).drawn,
              (std::vector<std::string>{"ab@80,0 c=001100 w=400", "abcd@60,16 c=001100 w=400",
                                        "ab@40,32 c=001100 w=400"}));
    // Tab stops every 4 average characters from the line's start.
    EXPECT_EQ(Lay(L"a<t>b\t\tc<t=2>d").drawn,
              (std::vector<std::string>{"a@0,0 c=001100 w=400", "b@20,0 c=001100 w=400",
                                        "c@60,0 c=001100 w=400", "d@100,0 c=001100 w=400"}));
    // Empty lines are a font high; a trailing break adds no line.
    EXPECT_EQ(Lay(L"a<br=3>b<br>").layout.height, 64);
    // Pictures sit on the line's bottom; one that cannot load takes no room.
    const Laid pictures = Lay(L"x<icon=1><icon=5><bmp=2 cx=40>y");
    EXPECT_EQ(pictures.layout.width, 10 + 32 + 40 + 10);
    EXPECT_EQ(pictures.drawn,
              (std::vector<std::string>{"x@0,16 c=001100 w=400", "pic1@10,0 32x32",
                                        "pic2@42,22 40x10", "y@82,16 c=001100 w=400"}));
}

TEST(MarkupLayoutTest, HugeCountsAndSizesStayBounded) {
    EXPECT_EQ(Lay(L"a<br=2000000000>b").layout.lines.size(), 101u);
    std::wstring many;
    for (int i = 0; i < 3000; ++i) many += L"<t=100><hr=1024><hr=100%>";
    const Laid laid = Lay(many.c_str());
    EXPECT_GT(laid.layout.width, 0);  // capped, not wrapped negative
    EXPECT_LE(laid.layout.width, 1 << 24);
}

TEST(TipGeometryTest, SizeAroundTextAndIcon) {
    const unsigned shadowed = kTipShadow;
    EXPECT_EQ(TipBodySize({100, 50}, std::nullopt, kLargeTipSizes, shadowed).width, 100 + 24 + 4);
    EXPECT_EQ(TipBodySize({100, 50}, std::nullopt, kLargeTipSizes, shadowed).height,
              50 + 16 + 24 + 4);
    const TextSize withIcon = TipBodySize({100, 50}, TextSize{32, 64}, kLargeTipSizes, 0);
    EXPECT_EQ(withIcon.width, 100 + 32 + 12 + 24);
    EXPECT_EQ(withIcon.height, 64 + 16 + 24);
}

TEST(TipGeometryTest, PlacementFlipsAtTheEdgesOnceThenStaysOnScreen) {
    const TextSize screen{1024, 768};
    const unsigned styles = kTipPointer | kTipShadow | kTipRounded;
    struct Case {
        TextSize size;
        TipPoint cursor;
        int direction;
        int placedDirection;
        TipRect window;
    } cases[] = {
        {{128, 94}, {500, 300}, kBelowRight, kBelowRight, {484, 300, 612, 394}},
        // At the right edge, below-right becomes below-left (moved by the shadow).
        {{128, 94}, {1000, 300}, kBelowRight, kBelowLeft, {892, 300, 1020, 394}},
        {{128, 94}, {500, 760}, kBelowRight, kAboveRight, {484, 666, 612, 760}},
        {{128, 94}, {5, 5}, kAboveLeft, kBelowRight, {0, 5, 128, 99}},
        // Larger than the screen: one flip per axis, then held at the edge.
        {{2000, 2000}, {500, 300}, kBelowRight, kAboveLeft, {4, 0, 2004, 2000}},
    };
    for (const Case& c : cases) {
        const TipShape shape =
            PlaceTip(c.size, c.cursor, screen, c.direction, kLargeTipSizes, styles);
        EXPECT_EQ(shape.direction, c.placedDirection) << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(shape.window, c.window) << c.cursor.x << "," << c.cursor.y;
    }
}

TEST(TipGeometryTest, BodyPointerAndContent) {
    const unsigned styles = kTipPointer | kTipShadow | kTipRounded;
    const TipShape below =
        PlaceTip({128, 94}, {500, 300}, {1024, 768}, kBelowRight, kLargeTipSizes, styles);
    EXPECT_EQ(below.body, (TipRect{0, 16, 124, 90}));
    EXPECT_EQ(below.triangle, (std::array<TipPoint, 3>{{{16, 0}, {16, 16}, {28, 16}}}));
    EXPECT_EQ(below.content, (TipRect{12, 28, 112, 78}));
    // Above and to the left: the pointer at the bottom, near the right side.
    const TipShape above =
        PlaceTip({128, 94}, {500, 300}, {1024, 768}, kAboveLeft, kLargeTipSizes, styles);
    EXPECT_EQ(above.body, (TipRect{0, 0, 124, 74}));
    EXPECT_EQ(above.triangle, (std::array<TipPoint, 3>{{{108, 90}, {108, 74}, {96, 74}}}));
}

TEST(TipEffectTest, GradientsCoverTheirLengthInBands) {
    for (int length : {1, 10, 63, 128, 1000}) {
        const auto bands = GradientBands(0x0000FF, 0xFF0000, length);
        int at = 0;
        for (const GradientBand& band : bands) {
            EXPECT_EQ(band.from, at);
            at = band.to;
        }
        EXPECT_EQ(at, length);
    }
    const auto bands = GradientBands(0x000040, 0x004000, 128);
    ASSERT_EQ(bands.size(), 64u);
    EXPECT_EQ(bands[0].colour, 0x000040u);
    EXPECT_EQ(bands[63].colour, 0x003F01u);  // (64 * 1 + 0 * 63) / 64, (64 * 63) / 64
    EXPECT_TRUE(GradientBands(1, 2, 0).empty());
    // Halves mirror; values outside 0..15 fill with the begin colour.
    const auto mirrored = EffectFills(3, 256, 10, 0x0000FF, 0, 0xFF0000);
    EXPECT_EQ(mirrored.front().colour, 0x0000FFu);
    EXPECT_EQ(mirrored[64].colour, 0xFF0000u);
    EXPECT_EQ(mirrored.back().rect.right, 256);
    EXPECT_EQ(EffectFills(99, 5, 5, 7, 8, 9).size(), 1u);
}

TEST(TipEffectTest, CushionWithCRuntimeNoise) {
    MsvcRand random(1);  // first draw 41: noise 41 / (32767 / 20) - 10 = -10
    const EffectImage image = MakeEffectImage(13, 10, 64, 32, 0xDFFFFF, 0xACC0C0, 0x708080, random);
    ASSERT_EQ(image.stride, 64);
    // Bottom-left: v = (-127)^3 / 16384 = -125, u = 128^3 / 16384 = 128,
    // q = 3 * 118 / 128 + 128 = 130.
    EXPECT_EQ(image.pixels[0], 120);
    EXPECT_EQ(image.palette[255], 0xDFFFFFu);
    EXPECT_EQ(image.palette[0], 0x758686u);  // the end colour 5% nearer the begin

    // Odd sizes and amplitudes: rows padded, no division by 0.
    MsvcRand other(7);
    EXPECT_EQ(MakeEffectImage(15, 1 << 20, 5, 3, 1, 2, 3, other).stride, 8);
    EXPECT_TRUE(MakeEffectImage(13, -5, 0, 9, 1, 2, 3, other).pixels.empty());
}

}  // namespace
}  // namespace hourlink
