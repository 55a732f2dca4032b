// The markup language of the formatted tooltip: a parser that turns a text such
// as "<b><ct=0x0000FF>Title</b><br>plain" into tokens, and the layout that walks
// those tokens twice with the same rules, first measuring every line, then
// drawing it. Text measuring and drawing go through MarkupCanvas, so the
// arithmetic runs without any device context.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hourlink {

// A stored colour reference, 0x00BBGGRR: 0x0000FF is red.
using Colour = std::uint32_t;

// Slots of the colour table that the layout reads.
constexpr int kColourSlots = 26;
constexpr int kSlotText = 17;       // default text colour
constexpr int kSlotBackBegin = 18;  // background begin colour (the cb default)
using ColourTable = std::array<Colour, kColourSlots>;

// Counts of br and t stop here: more breaks or stops than this are no text.
constexpr int kMaxMarkupCount = 100;

struct MarkupPicture {
    enum class Kind : std::uint8_t { Icon, Bitmap, Image, ImageListItem };
    Kind kind = Kind::Icon;
    std::uint32_t id = 0;  // icon or bitmap resource id, image list index
    std::wstring name;     // a named image
    int cx = 0;            // 0: the picture's own width
    int cy = 0;            // 0: the picture's own height
    bool hasMask = false;  // bitmaps: pixels of `mask` are transparent
    Colour mask = 0xFF00FF;
};

struct MarkupToken {
    enum class Kind : std::uint8_t {
        Text,
        Bold,
        Italic,
        Underline,
        StrikeOut,
        TextColour,      // value: colour; none: the default text colour
        TextColourSlot,  // value: slot
        BackColour,      // value: colour; none: the background begin colour
        BackColourSlot,  // value: slot
        AlignLeft,
        AlignCentre,
        AlignRight,
        Break,    // value: count, 1..kMaxMarkupCount
        Tab,      // value: count, 1..kMaxMarkupCount
        Rule,     // value: pixels, or per cent when `percent`
        Picture,  // picture
    };
    Kind kind = Kind::Text;
    bool closing = false;
    bool hasValue = false;
    std::int64_t value = 0;
    bool percent = false;
    std::wstring text;  // Text: the run, "<<" already turned into "<"
    MarkupPicture picture;
};

// Sizes that a tag may not exceed: a rule or a picture larger than the screen
// shows nothing more, and keeps width x height far from overflowing.
struct MarkupLimits {
    int maxWidth = 4096;
    int maxHeight = 4096;
};

// Reads `markup` from left to right. Never fails: a tag without its ">" ends at
// the end of the text, unknown tags are skipped, bad numbers read as far as
// they go.
std::vector<MarkupToken> ParseMarkup(std::wstring_view markup, const MarkupLimits& limits = {});

struct FontStyle {
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool operator==(const FontStyle&) const = default;
};

struct TextSize {
    int width = 0;
    int height = 0;
};

// What the layout needs from a device: measures, and (in the drawing pass)
// draws. Coordinates are pixels; y grows downwards.
class MarkupCanvas {
  public:
    virtual ~MarkupCanvas() = default;
    virtual TextSize MeasureText(std::wstring_view text, const FontStyle& style) = 0;
    // The height of a line of the font, also of an empty line.
    virtual int FontHeight(const FontStyle& style) = 0;
    virtual int AverageCharWidth(const FontStyle& style) = 0;
    // The picture's own size; nothing when it cannot be loaded.
    virtual std::optional<TextSize> PictureSize(const MarkupPicture& picture) = 0;

    virtual void DrawText(int /*x*/, int /*y*/, std::wstring_view /*text*/,
                          const FontStyle& /*style*/, Colour /*colour*/,
                          std::optional<Colour> /*opaqueBack*/) {}
    virtual void DrawRule(int /*x1*/, int /*x2*/, int /*y*/, Colour /*colour*/) {}
    virtual void DrawPicture(const MarkupPicture& /*picture*/, int /*x*/, int /*y*/, int /*cx*/,
                             int /*cy*/) {}
};

struct MarkupLine {
    int width = 0;    // after the per-cent rules have grown it
    int height = 0;   // the tallest text or picture; an empty line the font's height
    int percent = 0;  // the line's rules that take a share of the width
};

// Widths and heights are summed in 64 bits and kept within 0..this, so no sum
// of any number of lines or runs can overflow an int: each line's width, the
// layout's width and its height.
constexpr int kMaxMarkupExtent = 1 << 24;

struct MarkupLayout {
    std::vector<MarkupLine> lines;
    int width = 0;   // the widest line
    int height = 0;  // all lines
};

struct MarkupContext {
    ColourTable colours{};
    FontStyle font;  // the font the markup starts with
    MarkupLimits limits;
};

// The measuring pass.
MarkupLayout MeasureMarkup(const std::vector<MarkupToken>& tokens, MarkupCanvas& canvas,
                           const MarkupContext& context);

// The drawing pass into the area (left, top, width): each line starts at the
// left edge, in the middle or at the right edge by the alignment in force.
void DrawMarkup(const std::vector<MarkupToken>& tokens, const MarkupLayout& layout,
                MarkupCanvas& canvas, const MarkupContext& context, int left, int top, int width);

}  // namespace hourlink
