// CPPTooltip: a tooltip window of our own that shows formatted text (the
// markup of core/ui/markup.h) in a borderless topmost popup shaped by a region: a
// rounded body, a pointer towards the cursor and a drop shadow, filled with one
// of sixteen background effects.
//
// A dialog creates one tooltip, adds its controls as tools with their markup
// texts, and the tooltip decides when to show and hide: it watches the
// messages of the dialog's thread (through a message hook installed by Create)
// and hands those about the dialog, its controls and itself to RelayEvent.
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/base/msvc_rand.h"
#include "core/ui/markup.h"
#include "core/ui/tip_geometry.h"
#include "shell/widgets/gdi_handles.h"
#include "shell/win/window.h"

namespace hourlink::widgets {

// Which per-tool settings override the window's.
constexpr UINT kToolStyles = 0x01;
constexpr UINT kToolEffect = 0x02;
constexpr UINT kToolColours = 0x04;
constexpr UINT kToolDirection = 0x08;
constexpr UINT kToolBehaviour = 0x10;

// One tool: a window (or a rectangle of it) and the markup shown over it.
struct PPToolInfo {
    HWND window = nullptr;
    HICON icon = nullptr;  // owned by the tooltip; may be none
    RECT rect{};           // the window's client coordinates; empty: the whole window
    std::wstring text;     // markup
    UINT mask = 0;         // kTool... bits: the overrides below that apply
    UINT styles = 0;
    int effect = 0;
    int granularity = 0;
    COLORREF begin = 0;
    COLORREF middle = 0;
    COLORREF end = 0;
    int direction = 0;
    UINT behaviour = 0;
};

// The code of the WM_NOTIFY that the parent receives before each display when
// notify is on. `info` is a copy of the tool record with its rectangle in the
// parent's client coordinates; the parent may change it (not the rectangle).
constexpr UINT kPPTooltipDisplay = 1124;
struct NMPPTooltipDisplay {
    NMHDR hdr;
    PPToolInfo* info;
};

class CPPTooltip : public win::Window {
  public:
    // The timers of the initial delay and of the automatic hiding.
    static constexpr UINT_PTR kShowTimer = 256;
    static constexpr UINT_PTR kHideTimer = 257;
    // SetDelayTime's choices.
    static constexpr UINT kDelayAutoHide = 2;
    static constexpr UINT kDelayInitial = 3;

    CPPTooltip();
    ~CPPTooltip() override;

    // Creates the hidden tip window owned by `parent` with the large or the
    // small size set, in the system's status-bar font, and starts watching the
    // thread's messages about `parent`. False when the window cannot be made.
    bool Create(HWND parent, bool largeSizes = true);

    // Adds a tool for `window` (or `rect` of its client area) showing `text`,
    // with the program's icon resource `iconId` at iconWidth x iconHeight (0 x 0:
    // its own size; id 0: no icon). A second tool for the same window and
    // rectangle replaces the first.
    void AddTool(HWND window, std::wstring_view text, UINT iconId = 0, int iconWidth = 0,
                 int iconHeight = 0, const RECT* rect = nullptr);
    // The same with an icon handle, which is copied (the caller keeps its own).
    void AddTool(HWND window, std::wstring_view text, HICON icon, const RECT* rect = nullptr);
    int ToolCount() const { return static_cast<int>(tools_.size()); }

    // The show and hide rules for one message of the parent, its controls or
    // the tip; the hook calls it, and so may a caller with its own loop.
    void RelayEvent(const MSG& msg);

    // Settings of the window as a whole, or of tool `tool` (an index of the
    // tools in the order added) when it is not -1.
    void SetColor(int slot, COLORREF colour);  // slots 0..25; others are ignored
    void SetDelayTime(UINT which, UINT milliseconds);
    void SetEffectBk(int effect, int granularity = 2, int tool = -1);
    void SetBehaviour(UINT behaviour, int tool = -1);
    void SetDirection(int direction, int tool = -1);  // 0..3; others are ignored
    void SetStyles(UINT set, UINT clear = 0, int tool = -1);
    void SetNotify(bool on = true) { notify_ = on; }
    // The system's status-bar font; the font stays as it was if the query fails.
    void UseSystemFont();
    void SetFont(const LOGFONTW& font) { font_ = font; }
    void SetDefaultColors();
    void SetDefaultSizes(bool large = true);

    // Sources of the picture tags: the image list of <ilst> (not owned) and the
    // bitmaps of <img> by name (owned from here on; `mask` as in <bmp>).
    void SetImageList(HIMAGELIST list) { imageList_ = list; }
    void AddImage(std::wstring name, HBITMAP bitmap, COLORREF mask = CLR_NONE);

    // Shows tool `tool` for the cursor at `screenPoint` now, as the initial
    // delay would. False when there is nothing to show.
    bool ShowTool(int tool, POINT screenPoint);
    // Hides the tip and stops both timers.
    void Hide();
    bool Shown() const { return IsVisible(); }
    // The shape and place of the tip shown last.
    const TipShape& Shape() const { return shape_; }
    // The lines of the text shown last, drawn from the content's top.
    const MarkupLayout& Layout() const { return layout_; }

    COLORREF Color(int slot) const;
    UINT Styles() const { return styles_; }
    UINT Behaviour() const { return behaviour_; }
    int Direction() const { return direction_; }
    int Effect() const { return effect_; }
    int Granularity() const { return granularity_; }
    UINT DelayTime(UINT which) const;
    bool Notify() const { return notify_; }
    const LOGFONTW& Font() const { return font_; }
    const TipSizes& Sizes() const { return sizes_; }

    struct NamedImage {
        std::wstring name;
        OwnedBitmap bitmap;
        COLORREF mask = CLR_NONE;
    };

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    // The settings a tool is shown with: its own where its mask says so.
    struct Look {
        UINT styles;
        int effect;
        int granularity;
        COLORREF begin;
        COLORREF middle;
        COLORREF end;
        int direction;
        UINT behaviour;
    };
    Look LookOf(const PPToolInfo& tool) const;

    // Adds or replaces a tool; `icon` is this object's from here on.
    void AddOwnedTool(HWND window, std::wstring_view text, HICON icon, const RECT* rect);
    bool Concerns(HWND hwnd) const;
    int FindTool(POINT screenPoint) const;
    void OnMouseMove(POINT screenPoint);
    void OnShowTimer();
    void OnHideTimer();
    bool Display(const PPToolInfo& tool, POINT screenPoint);
    bool CursorOverTip() const;
    void Paint(HDC dc);
    void FreeShownTip();

    HWND parent_ = nullptr;
    ColourTable colours_{};
    TipSizes sizes_ = kLargeTipSizes;
    UINT styles_ = kTipPointer | kTipShadow | kTipRounded | kTipIconCentred;
    int direction_ = kBelowRight;
    int effect_ = 0;
    int granularity_ = 2;
    UINT behaviour_ = 0;
    UINT initialDelay_ = 500;
    UINT autoHideDelay_ = 5000;
    LOGFONTW font_{};
    bool notify_ = false;
    HIMAGELIST imageList_ = nullptr;
    std::vector<NamedImage> images_;
    std::vector<PPToolInfo> tools_;
    std::vector<OwnedIcon> icons_;  // the tools' icons

    // Which tool waits for the initial delay, and which one is (or was last)
    // on display; -1 for none.
    int nextTool_ = -1;
    PPToolInfo next_;
    int shownTool_ = -1;
    POINT lastMove_ = {LONG_MIN, LONG_MIN};

    // The tip on display.
    PPToolInfo shown_;
    Look look_{};
    std::vector<MarkupToken> tokens_;
    MarkupLayout layout_;
    SIZE iconSize_{};
    TipShape shape_;
    OwnedRegion body_;
    OwnedRegion shadow_;
    OwnedBitmap backdrop_;
    EffectImage image_;
    MsvcRand random_;
};

}  // namespace hourlink::widgets
