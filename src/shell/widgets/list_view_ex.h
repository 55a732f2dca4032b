// CListViewEx: a report list view that draws its rows itself, so a selected
// row is highlighted over its full width (to the client area's right edge),
// and a text too wide for its column ends in "...".
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <string>

#include "shell/win/window.h"

namespace hourlink::widgets {

class CListViewEx : public win::Window {
  public:
    CListViewEx() = default;
    ~CListViewEx() override;

    // Creates a report list with owner-drawn fixed rows as a child of `parent`;
    // `style` adds list styles (the small-icon bit is always cleared).
    bool Create(HWND parent, int id, DWORD style = 0);

    // The highlight of a selected row runs to the client area's right edge.
    void SetClientWidthSelection(bool on) { clientWidthSelection_ = on; }

    // A cell's text as the list holds it.
    std::wstring ItemText(int item, int column) const;
    int ColumnCount() const;

    COLORREF TextColor() const { return textColor_; }
    COLORREF TextBkColor() const { return textBkColor_; }
    COLORREF BkColor() const { return bkColor_; }

    // `text` cut so that it fits `width` pixels in `dc` with "..." at its end;
    // unchanged when it fits.
    static std::wstring FitText(HDC dc, const std::wstring& text, int width);

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
    // Draws one row.
    virtual void DrawItem(const DRAWITEMSTRUCT& item);

  private:
    void RepaintSelectedItems();

    bool fullRowSelect_ = false;
    bool clientWidthSelection_ = true;
    int clientWidth_ = 0;
    int stateImageWidth_ = 0;  // state images are drawn in the icon space
    COLORREF textColor_ = GetSysColor(COLOR_WINDOWTEXT);
    COLORREF textBkColor_ = GetSysColor(COLOR_WINDOW);
    COLORREF bkColor_ = GetSysColor(COLOR_WINDOW);
};

}  // namespace hourlink::widgets
