#include "core/ui/markup.h"

#include <algorithm>
#include <cwctype>

namespace hourlink {

namespace {

constexpr std::int64_t kMaxExtent = kMaxMarkupExtent;
// The rules of one line may ask for this share of the widest line at most.
constexpr int kMaxPercent = 100 * kMaxMarkupCount;

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

wchar_t Lower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool NameIs(std::wstring_view name, std::wstring_view expected) {
    if (name.size() != expected.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (Lower(name[i]) != expected[i]) return false;
    }
    return true;
}

int DigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return 99;
}

// A number with automatic base, as far as its digits go: "0x.." hexadecimal,
// "0.." octal, otherwise decimal; an optional sign. Text without digits reads
// as 0. The magnitude stops growing at 2^40, far beyond any useful value.
std::int64_t ReadNumber(std::wstring_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    int base = 10;
    if (i + 1 < text.size() && text[i] == L'0' && Lower(text[i + 1]) == L'x') {
        base = 16;
        i += 2;
    } else if (i < text.size() && text[i] == L'0') {
        base = 8;
    }
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) break;
        value = std::min<std::int64_t>(value * base + digit, std::int64_t{1} << 40);
    }
    return negative ? -value : value;
}

struct Attribute {
    std::wstring_view name;
    std::wstring_view value;
    bool hasValue = false;
};

// One tag from just after its "<": the closing mark, the name, the main value
// and the further attributes. `at` ends after the ">", or at the end of the
// text when there is none.
struct Tag {
    bool closing = false;
    std::wstring_view name;
    std::wstring_view value;
    bool hasValue = false;
    std::vector<Attribute> attributes;

    const Attribute* Find(std::wstring_view wanted) const {
        for (const Attribute& a : attributes) {
            if (NameIs(a.name, wanted)) return &a;
        }
        return nullptr;
    }
};

Tag ReadTag(std::wstring_view s, size_t& at) {
    auto skipSpaces = [&] {
        while (at < s.size() && IsSpace(s[at])) ++at;
    };
    // A word ends at a space, '>' and, for names, '='.
    auto word = [&](bool stopAtEquals) {
        const size_t start = at;
        while (at < s.size() && !IsSpace(s[at]) && s[at] != L'>' &&
               !(stopAtEquals && s[at] == L'=')) {
            ++at;
        }
        return s.substr(start, at - start);
    };
    // "=" and a value, spaces allowed around the "=".
    auto value = [&](std::wstring_view& out) {
        const size_t before = at;
        skipSpaces();
        if (at >= s.size() || s[at] != L'=') {
            at = before;
            return false;
        }
        ++at;
        skipSpaces();
        out = word(false);
        return !out.empty();
    };

    Tag tag;
    skipSpaces();
    if (at < s.size() && s[at] == L'/') {
        tag.closing = true;
        ++at;
        skipSpaces();
    }
    tag.name = word(true);
    tag.hasValue = value(tag.value);
    for (;;) {
        skipSpaces();
        if (at >= s.size()) break;
        if (s[at] == L'>') {
            ++at;
            break;
        }
        const size_t before = at;
        Attribute attribute;
        attribute.name = word(true);
        attribute.hasValue = value(attribute.value);
        if (at == before) ++at;  // a stray "=" that leads to no value
        tag.attributes.push_back(attribute);
    }
    return tag;
}

int Clamp(std::int64_t value, int low, int high) {
    return static_cast<int>(std::clamp<std::int64_t>(value, low, high));
}

int Count(const Tag& tag) {
    if (!tag.hasValue) return 1;
    return Clamp(ReadNumber(tag.value), 1, kMaxMarkupCount);  // 0 counts as 1
}

int Size(const Tag& tag, std::wstring_view name, int limit) {
    const Attribute* a = tag.Find(name);
    return a && a->hasValue ? Clamp(ReadNumber(a->value), 0, limit) : 0;
}

// Resource ids are 16-bit numbers; anything else names no resource.
bool ReadResourceId(const Tag& tag, std::uint32_t& id) {
    if (!tag.hasValue) return false;
    const std::int64_t value = ReadNumber(tag.value);
    if (value < 1 || value > 0xFFFF) return false;
    id = static_cast<std::uint32_t>(value);
    return true;
}

using Kind = MarkupToken::Kind;

// The token of one tag; false for tags that mean nothing.
bool TokenFromTag(const Tag& tag, const MarkupLimits& limits, MarkupToken& token) {
    struct Simple {
        std::wstring_view name;
        Kind kind;
    };
    static constexpr Simple kSimple[] = {
        {L"b", Kind::Bold},         {L"i", Kind::Italic},           {L"u", Kind::Underline},
        {L"s", Kind::StrikeOut},    {L"ct", Kind::TextColour},      {L"cti", Kind::TextColourSlot},
        {L"cb", Kind::BackColour},  {L"cbi", Kind::BackColourSlot}, {L"al", Kind::AlignLeft},
        {L"al_l", Kind::AlignLeft}, {L"al_c", Kind::AlignCentre},   {L"al_r", Kind::AlignRight},
    };
    token.closing = tag.closing;
    for (const Simple& simple : kSimple) {
        if (!NameIs(tag.name, simple.name)) continue;
        token.kind = simple.kind;
        const bool alignment = simple.kind == Kind::AlignLeft || simple.kind == Kind::AlignCentre ||
                               simple.kind == Kind::AlignRight;
        if (alignment && tag.closing) return false;  // an alignment holds until the next
        if (tag.hasValue && !tag.closing) {
            token.hasValue = true;
            token.value = ReadNumber(tag.value);
        }
        return true;
    }
    // The rest have no closing form.
    if (tag.closing) return false;
    if (NameIs(tag.name, L"br") || NameIs(tag.name, L"t")) {
        token.kind = NameIs(tag.name, L"br") ? Kind::Break : Kind::Tab;
        token.hasValue = true;
        token.value = Count(tag);
        return true;
    }
    if (NameIs(tag.name, L"hr")) {
        token.kind = Kind::Rule;
        token.hasValue = true;
        token.percent = tag.hasValue && tag.value.back() == L'%';
        const std::int64_t length = tag.hasValue ? ReadNumber(tag.value) : 100;
        token.value = Clamp(length, 0, token.percent ? 100 : limits.maxWidth);
        return true;
    }
    MarkupPicture& picture = token.picture;
    if (NameIs(tag.name, L"icon")) {
        picture.kind = MarkupPicture::Kind::Icon;
        if (!ReadResourceId(tag, picture.id)) return false;
    } else if (NameIs(tag.name, L"bmp")) {
        picture.kind = MarkupPicture::Kind::Bitmap;
        if (!ReadResourceId(tag, picture.id)) return false;
        if (const Attribute* mask = tag.Find(L"mask")) {
            picture.hasMask = true;
            if (mask->hasValue) picture.mask = ReadNumber(mask->value) & 0xFFFFFF;
        }
    } else if (NameIs(tag.name, L"img")) {
        picture.kind = MarkupPicture::Kind::Image;
        if (!tag.hasValue) return false;
        picture.name = std::wstring(tag.value);
    } else if (NameIs(tag.name, L"ilst")) {
        picture.kind = MarkupPicture::Kind::ImageListItem;
        picture.id =
            tag.hasValue ? static_cast<std::uint32_t>(Clamp(ReadNumber(tag.value), 0, 0xFFFF)) : 0;
    } else {
        return false;  // an unknown tag
    }
    token.kind = Kind::Picture;
    picture.cx = Size(tag, L"cx", limits.maxWidth);
    picture.cy = Size(tag, L"cy", limits.maxHeight);
    return true;
}

}  // namespace

std::vector<MarkupToken> ParseMarkup(std::wstring_view s, const MarkupLimits& limits) {
    std::vector<MarkupToken> tokens;
    std::wstring run;
    auto flush = [&] {
        if (run.empty()) return;
        MarkupToken token;
        token.text = std::move(run);
        tokens.push_back(std::move(token));
        run.clear();
    };
    auto counted = [&](Kind kind) {
        flush();
        MarkupToken token;
        token.kind = kind;
        token.hasValue = true;
        token.value = 1;
        tokens.push_back(token);
    };

    size_t at = 0;
    while (at < s.size()) {
        const wchar_t c = s[at];
        if (c == L'\r') {
            ++at;
        } else if (c == L'\t') {
            counted(Kind::Tab);
            ++at;
        } else if (c == L'\n') {
            counted(Kind::Break);
            ++at;
        } else if (c != L'<') {
            run += c;
            ++at;
        } else if (at + 1 < s.size() && s[at + 1] == L'<') {
            run += L'<';
            at += 2;
        } else {
            ++at;
            const Tag tag = ReadTag(s, at);
            MarkupToken token;
            if (TokenFromTag(tag, limits, token)) {
                flush();
                tokens.push_back(std::move(token));
            }
        }
    }
    flush();
    return tokens;
}

namespace {

enum class Align { Left, Centre, Right };

// Walks the tokens with the rules that both passes share; `drawing` selects
// the pass.
class Walker {
  public:
    Walker(MarkupCanvas& canvas, const MarkupContext& context)
        : canvas_(canvas), context_(context) {
        base_ = context.font;
        if (base_.weight <= 0) base_.weight = 400;
        style_ = base_;
        text_ = context.colours[kSlotText];
    }

    MarkupLayout Measure(const std::vector<MarkupToken>& tokens) {
        for (const MarkupToken& token : tokens) Step(token);
        // A last line is kept when it holds something, or when it is the only one.
        if (lineHasItems_ || layout_.lines.empty()) EndLine();
        std::int64_t widest = 0;
        for (const MarkupLine& line : layout_.lines)
            widest = std::max<std::int64_t>(widest, line.width);
        std::int64_t height = 0;
        for (MarkupLine& line : layout_.lines) {
            line.width = static_cast<int>(
                std::min(kMaxExtent, line.width + std::int64_t{line.percent} * widest / 100));
            layout_.width = std::max(layout_.width, line.width);
            height = std::min(kMaxExtent, height + line.height);
        }
        layout_.height = static_cast<int>(height);
        return layout_;
    }

    void Draw(const std::vector<MarkupToken>& tokens, const MarkupLayout& layout, int left, int top,
              int width) {
        drawing_ = true;
        drawn_ = &layout;
        left_ = left;
        width_ = std::max(0, width);
        y_ = top;
        for (const MarkupToken& token : tokens) {
            if (line_ >= drawn_->lines.size()) break;
            Step(token);
        }
    }

  private:
    void Step(const MarkupToken& token) {
        switch (token.kind) {
            case Kind::Text:
                Text(token.text);
                break;
            case Kind::Bold:
                style_.weight = token.closing ? base_.weight : std::min(style_.weight * 2, 900);
                break;
            case Kind::Italic:
                style_.italic = !token.closing;
                break;
            case Kind::Underline:
                style_.underline = !token.closing;
                break;
            case Kind::StrikeOut:
                style_.strikeOut = !token.closing;
                break;
            case Kind::TextColour:
                text_ = !token.closing && token.hasValue ? Colour(token.value & 0xFFFFFF)
                                                         : context_.colours[kSlotText];
                break;
            case Kind::TextColourSlot:
                if (token.closing) {
                    text_ = context_.colours[kSlotText];
                } else if (auto colour = Slot(token, kSlotText)) {
                    text_ = *colour;
                }
                break;
            case Kind::BackColour:
                if (token.closing) {
                    back_.reset();
                } else {
                    back_ = token.hasValue ? Colour(token.value & 0xFFFFFF)
                                           : context_.colours[kSlotBackBegin];
                }
                break;
            case Kind::BackColourSlot:
                if (token.closing) {
                    back_.reset();
                } else if (auto colour = Slot(token, kSlotBackBegin)) {
                    back_ = *colour;
                }
                break;
            case Kind::AlignLeft:
                align_ = Align::Left;
                break;
            case Kind::AlignCentre:
                align_ = Align::Centre;
                break;
            case Kind::AlignRight:
                align_ = Align::Right;
                break;
            case Kind::Break:
                for (std::int64_t i = 0; i < token.value; ++i) EndLine();
                break;
            case Kind::Tab:
                Tab(static_cast<int>(token.value));
                break;
            case Kind::Rule:
                Rule(token);
                break;
            case Kind::Picture:
                Picture(token.picture);
                break;
        }
    }

    // A colour of the table; nothing for a slot outside it.
    std::optional<Colour> Slot(const MarkupToken& token, int defaultSlot) const {
        const std::int64_t slot = token.hasValue ? token.value : defaultSlot;
        if (slot < 0 || slot >= kColourSlots) return std::nullopt;
        return context_.colours[static_cast<size_t>(slot)];
    }

    // Where the next item goes; in the drawing pass the line's first item fixes
    // where the line starts, by the alignment then in force.
    void BeginItem() {
        lineHasItems_ = true;
        if (!drawing_ || originSet_) return;
        const std::int64_t lineWidth = drawn_->lines[line_].width;
        switch (align_) {
            case Align::Left:
                origin_ = left_;
                break;
            case Align::Centre:
                origin_ = left_ + (width_ - lineWidth) / 2;
                break;
            case Align::Right:
                origin_ = left_ + width_ - lineWidth;
                break;
        }
        x_ = origin_;
        originSet_ = true;
    }

    void Advance(std::int64_t by) {
        x_ = std::clamp<std::int64_t>(x_ + by, -kMaxExtent, kMaxExtent);
    }
    void Grow(int height) { height_ = std::max(height_, height); }
    int LineHeight() const { return drawn_->lines[line_].height; }
    // The bottom-aligned top of an item `height` tall in the current line.
    int ItemTop(int height) const { return static_cast<int>(y_ + LineHeight() - height); }

    void Text(std::wstring_view text) {
        BeginItem();
        const TextSize size = canvas_.MeasureText(text, style_);
        if (drawing_) {
            canvas_.DrawText(static_cast<int>(x_), ItemTop(size.height), text, style_, text_,
                             back_);
        }
        Advance(size.width);
        Grow(size.height);
    }

    void Tab(int count) {
        BeginItem();
        const std::int64_t step = std::max(1, 4 * canvas_.AverageCharWidth(style_));
        const std::int64_t offset = x_ - origin_;
        Advance((offset / step + count) * step - offset);
        Grow(canvas_.FontHeight(style_));
    }

    void Rule(const MarkupToken& token) {
        BeginItem();
        Grow(canvas_.FontHeight(style_));
        if (!drawing_) {
            if (token.percent) {
                percent_ = std::min(percent_ + static_cast<int>(token.value), kMaxPercent);
            } else {
                Advance(token.value);
            }
            return;
        }
        const std::int64_t length = token.percent ? token.value * width_ / 100 : token.value;
        if (length > 0) {
            canvas_.DrawRule(static_cast<int>(x_), static_cast<int>(x_ + length),
                             static_cast<int>(y_ + LineHeight() / 2), text_);
        }
        Advance(length);
    }

    void Picture(const MarkupPicture& picture) {
        const std::optional<TextSize> own = canvas_.PictureSize(picture);
        if (!own) return;  // cannot be loaded: no room, nothing drawn
        const int cx =
            picture.cx > 0 ? picture.cx : std::clamp(own->width, 0, context_.limits.maxWidth);
        const int cy =
            picture.cy > 0 ? picture.cy : std::clamp(own->height, 0, context_.limits.maxHeight);
        BeginItem();
        if (drawing_) canvas_.DrawPicture(picture, static_cast<int>(x_), ItemTop(cy), cx, cy);
        Advance(cx);
        Grow(cy);
    }

    void EndLine() {
        if (drawing_) {
            if (line_ < drawn_->lines.size()) y_ += LineHeight();
            ++line_;
        } else {
            MarkupLine line;
            line.width = static_cast<int>(std::clamp<std::int64_t>(x_, 0, kMaxExtent));
            line.height = height_ > 0 ? height_ : canvas_.FontHeight(style_);
            line.percent = percent_;
            layout_.lines.push_back(line);
        }
        x_ = 0;
        origin_ = 0;
        height_ = 0;
        percent_ = 0;
        lineHasItems_ = false;
        originSet_ = false;
    }

    MarkupCanvas& canvas_;
    const MarkupContext& context_;
    FontStyle base_;
    FontStyle style_;
    Colour text_ = 0;
    std::optional<Colour> back_;
    Align align_ = Align::Left;

    // The line being walked.
    std::int64_t x_ = 0;
    std::int64_t origin_ = 0;
    int height_ = 0;
    int percent_ = 0;
    bool lineHasItems_ = false;
    bool originSet_ = false;

    MarkupLayout layout_;  // measuring

    bool drawing_ = false;  // drawing
    const MarkupLayout* drawn_ = nullptr;
    size_t line_ = 0;
    std::int64_t left_ = 0;
    std::int64_t width_ = 0;
    std::int64_t y_ = 0;
};

}  // namespace

MarkupLayout MeasureMarkup(const std::vector<MarkupToken>& tokens, MarkupCanvas& canvas,
                           const MarkupContext& context) {
    return Walker(canvas, context).Measure(tokens);
}

void DrawMarkup(const std::vector<MarkupToken>& tokens, const MarkupLayout& layout,
                MarkupCanvas& canvas, const MarkupContext& context, int left, int top, int width) {
    Walker(canvas, context).Draw(tokens, layout, left, top, width);
}

}  // namespace hourlink
