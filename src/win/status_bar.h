// A status bar (STATUSCLASSNAME) whose panes are sized to their texts.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace hourlink::win {

class StatusBar {
  public:
    bool Create(HWND parent, int id);
    HWND Hwnd() const { return hwnd_; }
    // Sets the panes' initial widths in pixels (the last one is stretched).
    void SetPaneWidths(std::vector<int> widths);
    // Writes a pane and resizes it to the pixel width of the text.
    void SetPaneText(int pane, std::wstring_view text);
    std::wstring PaneText(int pane) const;
    // The width of `text` in the bar's font, with the pane's borders.
    int TextWidth(std::wstring_view text) const;
    HFONT Font() const;
    void AutoSize();
    int Height() const;

  private:
    void ApplyWidths();

    HWND hwnd_ = nullptr;
    std::vector<int> widths_;
};

}  // namespace hourlink::win
