#include "shell/widgets/pp_tooltip.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <utility>

namespace hourlink::widgets {

namespace {

constexpr wchar_t kClassName[] = L"CPPTooltip";
// Destination AND brush: darkens what lies under the shadow.
constexpr DWORD kMaskPen = 0x00A000C9;

// The tooltips of this thread, and the one message hook that feeds them.
struct ThreadTips {
    HHOOK hook = nullptr;
    std::vector<CPPTooltip*> tips;
};
thread_local ThreadTips threadTips;

LRESULT CALLBACK GetMessageHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && wp == PM_REMOVE) {
        const MSG& msg = *reinterpret_cast<const MSG*>(lp);
        const std::vector<CPPTooltip*> tips = threadTips.tips;  // a tip may go away
        for (CPPTooltip* tip : tips) {
            if (std::find(threadTips.tips.begin(), threadTips.tips.end(), tip) !=
                threadTips.tips.end()) {
                tip->RelayEvent(msg);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

void Watch(CPPTooltip* tip) {
    if (std::find(threadTips.tips.begin(), threadTips.tips.end(), tip) != threadTips.tips.end()) {
        return;
    }
    threadTips.tips.push_back(tip);
    if (!threadTips.hook) {
        threadTips.hook =
            SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
    }
}

void Unwatch(CPPTooltip* tip) {
    std::erase(threadTips.tips, tip);
    if (threadTips.tips.empty() && threadTips.hook) {
        UnhookWindowsHookEx(threadTips.hook);
        threadTips.hook = nullptr;
    }
}

bool ProgramIsActive() {
    DWORD process = 0;
    HWND foreground = GetForegroundWindow();
    return foreground && GetWindowThreadProcessId(foreground, &process) &&
           process == GetCurrentProcessId();
}

bool operator==(POINT a, POINT b) {
    return a.x == b.x && a.y == b.y;
}

// The markup's measures and drawing on a device context, with the fonts and
// pictures it needs created on first use and freed with it.
class GdiCanvas : public MarkupCanvas {
  public:
    GdiCanvas(HDC dc, const LOGFONTW& font, HIMAGELIST list,
              const std::vector<CPPTooltip::NamedImage>& images)
        : dc_(dc), font_(font), list_(list), images_(images) {}
    ~GdiCanvas() override {
        if (oldFont_) SelectObject(dc_, oldFont_);
    }

    TextSize MeasureText(std::wstring_view text, const FontStyle& style) override {
        Use(style);
        SIZE size{};
        GetTextExtentPoint32W(dc_, text.data(), Length(text), &size);
        return {size.cx, size.cy};
    }
    int FontHeight(const FontStyle& style) override { return Metrics(style).tmHeight; }
    int AverageCharWidth(const FontStyle& style) override { return Metrics(style).tmAveCharWidth; }

    std::optional<TextSize> PictureSize(const MarkupPicture& picture) override {
        const Picture* p = Load(picture);
        if (!p) return std::nullopt;
        return p->size;
    }

    void DrawText(int x, int y, std::wstring_view text, const FontStyle& style, Colour colour,
                  std::optional<Colour> back) override {
        Use(style);
        SetTextColor(dc_, colour);
        if (back) {
            SetBkMode(dc_, OPAQUE);
            SetBkColor(dc_, *back);
        } else {
            SetBkMode(dc_, TRANSPARENT);
        }
        TextOutW(dc_, x, y, text.data(), Length(text));
    }

    void DrawRule(int x1, int x2, int y, Colour colour) override {
        OwnedPen pen(CreatePen(PS_SOLID, 1, colour));
        Selection selected(dc_, pen.Get());
        MoveToEx(dc_, x1, y, nullptr);
        LineTo(dc_, x2, y);
    }

    void DrawPicture(const MarkupPicture& picture, int x, int y, int cx, int cy) override {
        const Picture* p = Load(picture);
        if (!p) return;
        if (p->icon) {
            DrawIconEx(dc_, x, y, p->icon.Get(), cx, cy, 0, nullptr, DI_NORMAL);
        } else if (p->bitmap) {
            OwnedDc source(CreateCompatibleDC(dc_));
            Selection selected(source.Get(), p->bitmap);
            if (p->mask != CLR_NONE) {
                GdiTransparentBlt(dc_, x, y, cx, cy, source.Get(), 0, 0, p->size.width,
                                  p->size.height, p->mask);
            } else {
                StretchBlt(dc_, x, y, cx, cy, source.Get(), 0, 0, p->size.width, p->size.height,
                           SRCCOPY);
            }
        } else if (list_) {
            ImageList_DrawEx(list_, static_cast<int>(picture.id), dc_, x, y, cx, cy, CLR_NONE,
                             CLR_NONE, ILD_TRANSPARENT);
        }
    }

  private:
    struct Picture {
        MarkupPicture key;
        OwnedIcon icon;
        OwnedBitmap ownBitmap;
        HBITMAP bitmap = nullptr;  // ownBitmap or a named image's
        COLORREF mask = CLR_NONE;
        TextSize size;
        bool ok = false;
    };

    static int Length(std::wstring_view text) {
        return static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
    }

    void Use(const FontStyle& style) {
        auto found = std::find_if(fonts_.begin(), fonts_.end(),
                                  [&](const auto& f) { return f.first == style; });
        if (found == fonts_.end()) {
            LOGFONTW lf = font_;
            lf.lfWeight = style.weight;
            lf.lfItalic = style.italic;
            lf.lfUnderline = style.underline;
            lf.lfStrikeOut = style.strikeOut;
            fonts_.emplace_back(style, OwnedFont(CreateFontIndirectW(&lf)));
            found = std::prev(fonts_.end());
        }
        if (!found->second) return;
        HGDIOBJ old = SelectObject(dc_, found->second.Get());
        if (!oldFont_) oldFont_ = old;
    }

    TEXTMETRICW Metrics(const FontStyle& style) {
        Use(style);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc_, &tm);
        return tm;
    }

    static bool SameKey(const MarkupPicture& a, const MarkupPicture& b) {
        return a.kind == b.kind && a.id == b.id && a.name == b.name && a.cx == b.cx &&
               a.cy == b.cy && a.hasMask == b.hasMask && a.mask == b.mask;
    }

    // The picture loaded, or null when it cannot be.
    const Picture* Load(const MarkupPicture& picture) {
        for (const Picture& p : pictures_) {
            if (SameKey(p.key, picture)) return p.ok ? &p : nullptr;
        }
        Picture& p = pictures_.emplace_back();
        p.key = picture;
        HINSTANCE instance = GetModuleHandleW(nullptr);
        BITMAP bm{};
        switch (picture.kind) {
            case MarkupPicture::Kind::Icon: {
                p.icon.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(picture.id),
                                                           IMAGE_ICON, picture.cx, picture.cy,
                                                           LR_DEFAULTCOLOR)));
                const IconBitmaps bits(p.icon.Get());
                p.ok = bits.ok;
                p.size = {bits.size.cx, bits.size.cy};
                break;
            }
            case MarkupPicture::Kind::Bitmap:
                p.ownBitmap.Reset(static_cast<HBITMAP>(LoadImageW(
                    instance, MAKEINTRESOURCEW(picture.id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
                p.bitmap = p.ownBitmap.Get();
                if (picture.hasMask) p.mask = picture.mask;
                break;
            case MarkupPicture::Kind::Image:
                for (const CPPTooltip::NamedImage& image : images_) {
                    if (image.name == picture.name) {
                        p.bitmap = image.bitmap.Get();
                        p.mask = image.mask;
                        break;
                    }
                }
                break;
            case MarkupPicture::Kind::ImageListItem: {
                int cx = 0;
                int cy = 0;
                p.ok = list_ && static_cast<int>(picture.id) < ImageList_GetImageCount(list_) &&
                       ImageList_GetIconSize(list_, &cx, &cy);
                p.size = {cx, cy};
                break;
            }
        }
        if (p.bitmap && GetObjectW(p.bitmap, sizeof bm, &bm)) {
            p.ok = true;
            p.size = {bm.bmWidth, std::abs(bm.bmHeight)};
        }
        return p.ok ? &p : nullptr;
    }

    HDC dc_;
    const LOGFONTW& font_;
    HIMAGELIST list_;
    const std::vector<CPPTooltip::NamedImage>& images_;
    std::vector<std::pair<FontStyle, OwnedFont>> fonts_;
    std::vector<Picture> pictures_;
    HGDIOBJ oldFont_ = nullptr;
};

MarkupContext ContextOf(const ColourTable& colours, const LOGFONTW& font) {
    MarkupContext context;
    context.colours = colours;
    context.font.weight = font.lfWeight > 0 ? static_cast<int>(font.lfWeight) : FW_NORMAL;
    context.font.italic = font.lfItalic != 0;
    context.font.underline = font.lfUnderline != 0;
    context.font.strikeOut = font.lfStrikeOut != 0;
    context.limits = {std::max(1, GetSystemMetrics(SM_CXSCREEN)),
                      std::max(1, GetSystemMetrics(SM_CYSCREEN))};
    return context;
}

}  // namespace

CPPTooltip::CPPTooltip() {
    SetDefaultColors();
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font_, &font_);
}

CPPTooltip::~CPPTooltip() {
    // While this part of the object still exists, so that WM_DESTROY reaches it.
    Destroy();
    Unwatch(this);
}

bool CPPTooltip::Create(HWND parent, bool largeSizes) {
    win::WindowClass wc;
    wc.name = kClassName;
    wc.style = CS_SAVEBITS;
    win::CreateArgs args;
    args.parent = parent;
    args.style = WS_POPUP;
    args.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    args.x = 0;
    args.y = 0;
    args.width = 0;
    args.height = 0;
    if (!Window::Create(wc, args)) return false;
    parent_ = parent;
    UseSystemFont();
    SetDefaultSizes(largeSizes);
    Watch(this);
    return true;
}

void CPPTooltip::AddTool(HWND window, std::wstring_view text, UINT iconId, int iconWidth,
                         int iconHeight, const RECT* rect) {
    HICON icon = nullptr;
    if (iconId != 0 && iconId <= 0xFFFF) {
        icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId),
                                             IMAGE_ICON, std::max(0, iconWidth),
                                             std::max(0, iconHeight), LR_DEFAULTCOLOR));
    }
    AddOwnedTool(window, text, icon, rect);
}

void CPPTooltip::AddTool(HWND window, std::wstring_view text, HICON icon, const RECT* rect) {
    AddOwnedTool(window, text, icon ? CopyIcon(icon) : nullptr, rect);
}

void CPPTooltip::AddOwnedTool(HWND window, std::wstring_view text, HICON icon, const RECT* rect) {
    OwnedIcon owned(icon);
    if (!window) return;
    PPToolInfo tool;
    tool.window = window;
    tool.icon = icon;
    if (rect) tool.rect = *rect;
    tool.text = std::wstring(text);
    auto same = std::find_if(tools_.begin(), tools_.end(), [&](const PPToolInfo& t) {
        return t.window == window && EqualRect(&t.rect, &tool.rect);
    });
    if (same != tools_.end()) {
        const HICON old = same->icon;
        std::erase_if(icons_, [&](const OwnedIcon& i) { return old && i.Get() == old; });
        same->icon = icon;
        same->text = std::move(tool.text);
    } else {
        tools_.push_back(std::move(tool));
    }
    if (owned) icons_.push_back(std::move(owned));
}

void CPPTooltip::SetColor(int slot, COLORREF colour) {
    if (slot >= 0 && slot < kColourSlots) colours_[static_cast<size_t>(slot)] = colour & 0xFFFFFF;
}

COLORREF CPPTooltip::Color(int slot) const {
    return slot >= 0 && slot < kColourSlots ? colours_[static_cast<size_t>(slot)] : 0;
}

void CPPTooltip::SetDelayTime(UINT which, UINT milliseconds) {
    if (which == kDelayAutoHide) autoHideDelay_ = milliseconds;
    if (which == kDelayInitial) initialDelay_ = milliseconds;
}

UINT CPPTooltip::DelayTime(UINT which) const {
    if (which == kDelayAutoHide) return autoHideDelay_;
    if (which == kDelayInitial) return initialDelay_;
    return 0;
}

void CPPTooltip::SetEffectBk(int effect, int granularity, int tool) {
    if (tool < 0) {
        effect_ = effect;
        granularity_ = granularity;
    } else if (tool < ToolCount()) {
        PPToolInfo& t = tools_[static_cast<size_t>(tool)];
        t.effect = effect;
        t.granularity = granularity;
        t.mask |= kToolEffect;
    }
}

void CPPTooltip::SetBehaviour(UINT behaviour, int tool) {
    if (tool < 0) {
        behaviour_ = behaviour;
    } else if (tool < ToolCount()) {
        tools_[static_cast<size_t>(tool)].behaviour = behaviour;
        tools_[static_cast<size_t>(tool)].mask |= kToolBehaviour;
    }
}

void CPPTooltip::SetDirection(int direction, int tool) {
    if (direction < kAboveLeft || direction > kBelowRight) return;
    if (tool < 0) {
        direction_ = direction;
    } else if (tool < ToolCount()) {
        tools_[static_cast<size_t>(tool)].direction = direction;
        tools_[static_cast<size_t>(tool)].mask |= kToolDirection;
    }
}

void CPPTooltip::SetStyles(UINT set, UINT clear, int tool) {
    if (tool < 0) {
        styles_ = (styles_ & ~clear) | set;
    } else if (tool < ToolCount()) {
        PPToolInfo& t = tools_[static_cast<size_t>(tool)];
        const UINT base = (t.mask & kToolStyles) ? t.styles : styles_;
        t.styles = (base & ~clear) | set;
        t.mask |= kToolStyles;
    }
}

void CPPTooltip::UseSystemFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
        // Systems before Vista know the record without its last field.
        metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) return;
    }
    font_ = metrics.lfStatusFont;
}

void CPPTooltip::SetDefaultColors() {
    static constexpr COLORREF kNamed[16] = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
        0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xC0C0C0, 0xFFFFFF};
    std::copy(std::begin(kNamed), std::end(kNamed), colours_.begin());
    colours_[16] = 0;
    colours_[17] = GetSysColor(COLOR_INFOTEXT);
    colours_[18] = colours_[19] = colours_[20] = GetSysColor(COLOR_INFOBK);
    colours_[21] = 0xEE0000;
    colours_[22] = 0x8B1A55;
    colours_[23] = 0x0000FF;
    colours_[24] = GetSysColor(COLOR_3DSHADOW);
    colours_[25] = GetSysColor(COLOR_INFOTEXT);
}

void CPPTooltip::SetDefaultSizes(bool large) {
    sizes_ = large ? kLargeTipSizes : kSmallTipSizes;
}

void CPPTooltip::AddImage(std::wstring name, HBITMAP bitmap, COLORREF mask) {
    OwnedBitmap owned(bitmap);
    if (!bitmap) return;
    images_.push_back({std::move(name), std::move(owned), mask});
}

CPPTooltip::Look CPPTooltip::LookOf(const PPToolInfo& tool) const {
    Look look{styles_,      effect_,      granularity_, colours_[18],
              colours_[19], colours_[20], direction_,   behaviour_};
    if (tool.mask & kToolStyles) look.styles = tool.styles;
    if (tool.mask & kToolEffect) {
        look.effect = tool.effect;
        look.granularity = tool.granularity;
    }
    if (tool.mask & kToolColours) {
        look.begin = tool.begin;
        look.middle = tool.middle;
        look.end = tool.end;
    }
    if ((tool.mask & kToolDirection) && tool.direction >= kAboveLeft &&
        tool.direction <= kBelowRight) {
        look.direction = tool.direction;
    }
    if (tool.mask & kToolBehaviour) look.behaviour = tool.behaviour;
    return look;
}

bool CPPTooltip::Concerns(HWND hwnd) const {
    return hwnd && parent_ && (hwnd == parent_ || hwnd == Hwnd() || IsChild(parent_, hwnd));
}

int CPPTooltip::FindTool(POINT screenPoint) const {
    HWND window = WindowFromPoint(screenPoint);
    if (!window) return -1;
    if (window == parent_) {
        // Disabled controls and statics do not answer WindowFromPoint.
        POINT p = screenPoint;
        ScreenToClient(parent_, &p);
        UINT skip = CWP_SKIPINVISIBLE;
        if (!(styles_ & kTipDisabledTools)) skip |= CWP_SKIPDISABLED;
        if (HWND child = ChildWindowFromPointEx(parent_, p, skip)) window = child;
    }
    POINT p = screenPoint;
    ScreenToClient(window, &p);
    for (size_t i = 0; i < tools_.size(); ++i) {
        const PPToolInfo& tool = tools_[i];
        if (tool.window == window && (IsRectEmpty(&tool.rect) || PtInRect(&tool.rect, p))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CPPTooltip::RelayEvent(const MSG& msg) {
    if (!Hwnd() || !Concerns(msg.hwnd)) return;
    switch (msg.message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_XBUTTONDOWN:
        case WM_XBUTTONDBLCLK:
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
        case WM_NCRBUTTONDOWN:
        case WM_NCRBUTTONDBLCLK:
        case WM_NCMBUTTONDOWN:
        case WM_NCMBUTTONDBLCLK:
        case WM_NCXBUTTONDOWN:
        case WM_NCXBUTTONDBLCLK:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            Hide();
            break;
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
            OnMouseMove(msg.pt);
            break;
    }
}

void CPPTooltip::OnMouseMove(POINT point) {
    if (point == lastMove_) return;
    lastMove_ = point;
    if (!(styles_ & kTipWhenInactive) && !ProgramIsActive()) return;
    const int tool = FindTool(point);
    const bool visible = IsVisible();
    if (tool >= 0 && tool != shownTool_) {
        nextTool_ = tool;
        next_ = tools_[static_cast<size_t>(tool)];
        Hide();
        if (!visible) {
            SetTimer(Hwnd(), kShowTimer, initialDelay_, nullptr);
        } else if (Display(next_, point)) {
            shownTool_ = tool;
        }
    } else if (tool >= 0) {
        const UINT behaviour = LookOf(tools_[static_cast<size_t>(tool)]).behaviour;
        if (visible && (behaviour & kTipKeepInside)) return;
        Hide();
        if (behaviour & kTipRearm) {
            nextTool_ = tool;
            next_ = tools_[static_cast<size_t>(tool)];
            SetTimer(Hwnd(), kShowTimer, initialDelay_, nullptr);
        }
    } else {
        if (visible && (look_.behaviour & kTipKeepInside) && CursorOverTip()) return;
        Hide();
        nextTool_ = -1;
        shownTool_ = -1;
    }
}

void CPPTooltip::OnShowTimer() {
    Hide();
    POINT now{};
    GetCursorPos(&now);
    if (nextTool_ < 0 || !(now == lastMove_) || FindTool(now) != nextTool_) return;
    if (Display(next_, now)) shownTool_ = nextTool_;
}

void CPPTooltip::OnHideTimer() {
    if (IsVisible() && CursorOverTip() && (look_.behaviour & kTipWaitWhileOver)) return;
    Hide();
}

bool CPPTooltip::ShowTool(int tool, POINT screenPoint) {
    if (!Hwnd() || tool < 0 || tool >= ToolCount()) return false;
    Hide();
    nextTool_ = tool;
    next_ = tools_[static_cast<size_t>(tool)];
    lastMove_ = screenPoint;
    if (!Display(next_, screenPoint)) return false;
    shownTool_ = tool;
    return true;
}

void CPPTooltip::Hide() {
    if (Hwnd()) {
        KillTimer(Hwnd(), kShowTimer);
        KillTimer(Hwnd(), kHideTimer);
        if (IsWindowVisible(Hwnd())) {
            SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0,
                         SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    FreeShownTip();
}

void CPPTooltip::FreeShownTip() {
    body_.Reset();
    shadow_.Reset();
    backdrop_.Reset();
    image_ = EffectImage{};
    tokens_.clear();
}

bool CPPTooltip::CursorOverTip() const {
    POINT p{};
    GetCursorPos(&p);
    return WindowFromPoint(p) == Hwnd();
}

bool CPPTooltip::Display(const PPToolInfo& tool, POINT point) {
    PPToolInfo info = tool;
    if (notify_ && parent_) {
        // The parent sees the record with the rectangle in its own coordinates
        // and may change it; the rectangle stays the tool's.
        PPToolInfo shown = info;
        RECT r = shown.rect;
        if (IsRectEmpty(&r)) GetClientRect(shown.window, &r);
        MapWindowPoints(shown.window, parent_, reinterpret_cast<POINT*>(&r), 2);
        shown.rect = r;
        NMPPTooltipDisplay notification{};
        notification.hdr.hwndFrom = Hwnd();
        notification.hdr.code = kPPTooltipDisplay;
        notification.info = &shown;
        SendMessageW(parent_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notification));
        shown.rect = info.rect;
        info = std::move(shown);
    }
    if (info.text.empty()) return false;

    shown_ = std::move(info);
    look_ = LookOf(shown_);
    const MarkupContext context = ContextOf(colours_, font_);
    const TextSize screen = {context.limits.maxWidth, context.limits.maxHeight};
    tokens_ = ParseMarkup(shown_.text, context.limits);
    {
        OwnedDc dc(CreateCompatibleDC(nullptr));
        GdiCanvas canvas(dc.Get(), font_, imageList_, images_);
        layout_ = MeasureMarkup(tokens_, canvas, context);
    }
    // The icon's size is twice its hot spot.
    iconSize_ = {};
    std::optional<TextSize> icon;
    if (shown_.icon) {
        const IconBitmaps bits(shown_.icon);
        if (bits.ok) {
            iconSize_ = {static_cast<LONG>(2 * bits.info.xHotspot),
                         static_cast<LONG>(2 * bits.info.yHotspot)};
            icon = TextSize{iconSize_.cx, iconSize_.cy};
        }
    }
    TextSize size = TipBodySize({layout_.width, layout_.height}, icon, sizes_, look_.styles);
    size.width = std::min(size.width, screen.width);
    size.height = std::min(size.height, screen.height);
    shape_ = PlaceTip(size, {point.x, point.y}, screen, look_.direction, sizes_, look_.styles);

    // The body with its pointer; the shadow is the body moved by the offset.
    const TipRect& b = shape_.body;
    body_.Reset(look_.styles & kTipRounded
                    ? CreateRoundRectRgn(b.left, b.top, b.right, b.bottom, sizes_[kCornerWidth],
                                         sizes_[kCornerHeight])
                    : CreateRectRgn(b.left, b.top, b.right, b.bottom));
    if (shape_.pointer) {
        POINT corners[3];
        for (size_t i = 0; i < 3; ++i) corners[i] = {shape_.triangle[i].x, shape_.triangle[i].y};
        OwnedRegion triangle(CreatePolygonRgn(corners, 3, WINDING));
        CombineRgn(body_.Get(), body_.Get(), triangle.Get(), RGN_OR);
    }
    OwnedRegion window(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(window.Get(), body_.Get(), nullptr, RGN_COPY);
    if (shape_.shadow) {
        shadow_.Reset(CreateRectRgn(0, 0, 0, 0));
        CombineRgn(shadow_.Get(), body_.Get(), nullptr, RGN_COPY);
        OffsetRgn(shadow_.Get(), shape_.shadowOffset.x, shape_.shadowOffset.y);
        CombineRgn(window.Get(), window.Get(), shadow_.Get(), RGN_OR);
    }

    const int width = shape_.window.Width() + 2;
    const int height = shape_.window.Height() + 2;
    if (shape_.shadow) {
        // The shadow darkens what lies under the tip: keep a copy of it, with
        // whatever a previous tip covered repainted first.
        if (parent_) RedrawWindow(parent_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        HDC screenDc = GetDC(nullptr);
        OwnedDc copy(CreateCompatibleDC(screenDc));
        backdrop_.Reset(CreateCompatibleBitmap(screenDc, width, height));
        {
            Selection selected(copy.Get(), backdrop_.Get());
            BitBlt(copy.Get(), 0, 0, width, height, screenDc, shape_.window.left, shape_.window.top,
                   SRCCOPY);
        }
        ReleaseDC(nullptr, screenDc);
    }
    if (IsImageEffect(look_.effect)) {
        image_ = MakeEffectImage(look_.effect, look_.granularity,
                                 shape_.window.Width() - shape_.shadowOffset.x,
                                 shape_.window.Height() - shape_.shadowOffset.y, look_.begin,
                                 look_.middle, look_.end, random_);
    }

    // The window owns the region it is given.
    HRGN region = window.Release();
    if (!SetWindowRgn(Hwnd(), region, FALSE)) DeleteObject(region);
    SetWindowPos(Hwnd(), nullptr, shape_.window.left, shape_.window.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(Hwnd(), nullptr, FALSE);
    UpdateWindow(Hwnd());
    if (autoHideDelay_ != 0 && !(look_.behaviour & kTipNoAutoHide)) {
        SetTimer(Hwnd(), kHideTimer, autoHideDelay_, nullptr);
    }
    return true;
}

void CPPTooltip::Paint(HDC target) {
    RECT client{};
    GetClientRect(Hwnd(), &client);
    const int cw = client.right;
    const int ch = client.bottom;
    if (cw <= 0 || ch <= 0 || !body_) return;

    OwnedDc dc(CreateCompatibleDC(target));
    OwnedBitmap surface(CreateCompatibleBitmap(target, cw, ch));
    Selection selectedSurface(dc.Get(), surface.Get());
    HDC mem = dc.Get();

    if (backdrop_) {
        OwnedDc source(CreateCompatibleDC(target));
        Selection selected(source.Get(), backdrop_.Get());
        BitBlt(mem, 0, 0, cw, ch, source.Get(), 0, 0, SRCCOPY);
    }
    if (shadow_) {
        OwnedBrush brush(CreateSolidBrush(colours_[24]));
        SelectClipRgn(mem, shadow_.Get());
        {
            Selection selected(mem, brush.Get());
            PatBlt(mem, 0, 0, cw, ch, kMaskPen);
        }
        SelectClipRgn(mem, nullptr);
    }

    // The background, inside the body.
    const int w = shape_.window.Width() - shape_.shadowOffset.x;
    const int h = shape_.window.Height() - shape_.shadowOffset.y;
    SelectClipRgn(mem, body_.Get());
    if (IsImageEffect(look_.effect) && !image_.pixels.empty()) {
        struct {
            BITMAPINFOHEADER header;
            RGBQUAD colours[256];
        } info{};
        info.header.biSize = sizeof info.header;
        info.header.biWidth = image_.width;
        info.header.biHeight = image_.height;  // bottom-up
        info.header.biPlanes = 1;
        info.header.biBitCount = 8;
        info.header.biClrUsed = 256;
        for (size_t i = 0; i < 256; ++i) {
            const Colour c = image_.palette[i];
            info.colours[i] = {static_cast<BYTE>(c >> 16), static_cast<BYTE>(c >> 8),
                               static_cast<BYTE>(c), 0};
        }
        SetDIBitsToDevice(mem, 0, 0, static_cast<DWORD>(image_.width),
                          static_cast<DWORD>(image_.height), 0, 0, 0,
                          static_cast<UINT>(image_.height), image_.pixels.data(),
                          reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS);
    } else {
        for (const TipFill& fill :
             EffectFills(look_.effect, w, h, look_.begin, look_.middle, look_.end)) {
            OwnedBrush brush(CreateSolidBrush(fill.colour));
            const RECT r = {fill.rect.left, fill.rect.top, fill.rect.right, fill.rect.bottom};
            FillRect(mem, &r, brush.Get());
        }
    }
    SelectClipRgn(mem, nullptr);
    {
        OwnedBrush border(CreateSolidBrush(colours_[25]));
        FrameRgn(mem, body_.Get(), border.Get(), sizes_[kBorderWidth], sizes_[kBorderHeight]);
    }

    // The icon at the left, then the text.
    const TipRect& c = shape_.content;
    int textLeft = c.left;
    if (shown_.icon && iconSize_.cx > 0) {
        int y = c.top;
        if (look_.styles & kTipIconCentred) {
            y = c.top + (c.Height() - iconSize_.cy) / 2;
        } else if (look_.styles & kTipIconBottom) {
            y = c.bottom - iconSize_.cy;
        }
        DrawIconEx(mem, c.left, y, shown_.icon, iconSize_.cx, iconSize_.cy, 0, nullptr, DI_NORMAL);
        textLeft += iconSize_.cx + sizes_[kMarginX];
    }
    int textTop = c.top;
    if (look_.styles & kTipTextCentred) {
        textTop = c.top + (c.Height() - layout_.height) / 2;
    } else if (look_.styles & kTipTextBottom) {
        textTop = c.bottom - layout_.height;
    }
    {
        GdiCanvas canvas(mem, font_, imageList_, images_);
        DrawMarkup(tokens_, layout_, canvas, ContextOf(colours_, font_), textLeft, textTop,
                   c.right - textLeft);
    }
    BitBlt(target, 0, 0, cw, ch, mem, 0, 0, SRCCOPY);
}

LRESULT CPPTooltip::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(Hwnd(), &ps);
            Paint(dc);
            EndPaint(Hwnd(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // painted whole from a memory bitmap
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_TIMER:
            if (wp == kShowTimer) {
                OnShowTimer();
                return 0;
            }
            if (wp == kHideTimer) {
                OnHideTimer();
                return 0;
            }
            break;
        case WM_DESTROY:
            KillTimer(Hwnd(), kShowTimer);
            KillTimer(Hwnd(), kHideTimer);
            Unwatch(this);
            FreeShownTip();
            break;
    }
    return Window::WndProc(msg, wp, lp);
}

}  // namespace hourlink::widgets
