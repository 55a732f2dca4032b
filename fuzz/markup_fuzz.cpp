// libFuzzer target for the tooltip's markup: any bytes are parsed, measured and
// drawn with a measurer whose sizes come from the input too, then the tip is
// sized, placed and filled. Nothing may crash, overflow or read out of bounds,
// and the laid-out sizes stay within the layout's caps.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/ui/markup.h"
#include "core/ui/tip_geometry.h"
#include "fuzz_support.h"

namespace {

using namespace hourlink;

// Sizes scaled by the input's first bytes, so huge and odd metrics are tried.
class FuzzCanvas : public MarkupCanvas {
  public:
    FuzzCanvas(int charWidth, int height, int average)
        : charWidth_(charWidth), height_(height), average_(average) {}
    TextSize MeasureText(std::wstring_view text, const FontStyle& style) override {
        const long long width =
            static_cast<long long>(text.size()) * charWidth_ + (style.weight > 400 ? 1 : 0);
        return {static_cast<int>(width > 1 << 30 ? 1 << 30 : width), height_};
    }
    int FontHeight(const FontStyle&) override { return height_; }
    int AverageCharWidth(const FontStyle&) override { return average_; }
    std::optional<TextSize> PictureSize(const MarkupPicture& p) override {
        if (p.id % 3 == 0) return std::nullopt;
        return TextSize{static_cast<int>(p.id % 5000), static_cast<int>(p.id % 3000)};
    }
    void DrawText(int x, int y, std::wstring_view text, const FontStyle&, Colour,
                  std::optional<Colour>) override {
        sum_ += x + y + static_cast<long long>(text.size());
    }
    void DrawRule(int x1, int x2, int y, Colour) override { sum_ += x1 + x2 + y; }
    void DrawPicture(const MarkupPicture&, int x, int y, int cx, int cy) override {
        sum_ += x + y + cx + cy;
    }

  private:
    int charWidth_;
    int height_;
    int average_;
    long long sum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const int charWidth = data[0] * 97;  // up to ~25000 pixels a character
    const int height = data[1];
    const int average = data[2] - 128;  // negative and zero too
    const int settings = data[3];
    // The rest is the markup; bytes above 0x7F stand for CJK characters.
    std::wstring markup;
    for (std::size_t i = 4; i < size; ++i) {
        markup +=
            data[i] < 0x80 ? static_cast<wchar_t>(data[i]) : static_cast<wchar_t>(0x4E00 + data[i]);
    }

    MarkupContext context;
    context.limits = {1 + settings * 31, 1 + settings * 17};
    context.font.weight = settings * 4 - 100;
    const auto tokens = ParseMarkup(markup, context.limits);
    FuzzCanvas canvas(charWidth, height, average);
    const MarkupLayout layout = MeasureMarkup(tokens, canvas, context);
    int widest = 0;
    for (const MarkupLine& line : layout.lines) {
        FUZZ_REQUIRE(line.width >= 0 && line.width <= kMaxMarkupExtent);
        widest = line.width > widest ? line.width : widest;
    }
    FUZZ_REQUIRE(!layout.lines.empty() && layout.width == widest);
    FUZZ_REQUIRE(layout.height >= 0 && layout.height <= kMaxMarkupExtent);
    DrawMarkup(tokens, layout, canvas, context, -settings, settings, layout.width);

    const TextSize screen = context.limits.maxWidth > 0
                                ? TextSize{context.limits.maxWidth, context.limits.maxHeight}
                                : TextSize{1, 1};
    TextSize tip = TipBodySize({layout.width, layout.height}, TextSize{settings, settings},
                               settings & 1 ? kLargeTipSizes : kSmallTipSizes,
                               static_cast<unsigned>(settings));
    tip.width = tip.width < screen.width ? tip.width : screen.width;
    tip.height = tip.height < screen.height ? tip.height : screen.height;
    const TipShape shape = PlaceTip(tip, {layout.width - 50, layout.height - 50}, screen,
                                    settings % 5, kLargeTipSizes, static_cast<unsigned>(settings));
    (void)EffectFills(settings % 17, shape.window.Width(), shape.window.Height(), 1, 2, 3);
    // The noise image, kept small so that the fuzzer stays fast.
    hourlink::MsvcRand random(static_cast<std::uint32_t>(size));
    (void)MakeEffectImage(7 + settings % 9, height - 100, shape.window.Width() % 97,
                          shape.window.Height() % 61, 0xDFFFFF, 0xACC0C0, 0x708080, random);
    return 0;
}
