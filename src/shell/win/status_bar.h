// A status bar (STATUSCLASSNAME) whose panes are sized to their texts.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/ui/changed_texts.h"

namespace hourlink::win {

class StatusBar {
  public:
    bool Create(HWND parent, int id);
    HWND Hwnd() const { return hwnd_; }
    // Sizes the panes: the first takes what the others leave but at least
    // `firstMinWidth` pixels at 96 DPI; each other pane is as wide as its
    // text in `texts`, until a text is written to it.
    void SetPanes(int firstMinWidth, std::vector<std::wstring> texts);
    // The bar's DPI and font (not owned; must outlive the bar or the next
    // call): the panes are sized again to their texts.
    void SetDpi(int dpi, HFONT font);
    // Writes a pane and resizes it to the pixel width of the text. While a
    // prompt is shown, a text for the message pane (0) is kept until it ends.
    void SetPaneText(int pane, std::wstring_view text);
    // Fly-by help: shows a command's prompt in the message pane while the mouse
    // is over its button or menu item; EndPrompt puts the message back.
    void ShowPrompt(std::wstring_view prompt);
    void EndPrompt();
    // The prompt of command `id` (its string resource up to the first "\n");
    // 0 ends the prompt. For the buttons under the mouse.
    void PromptCommand(UINT id);
    // WM_MENUSELECT: a menu item's prompt, nothing for a submenu or separator,
    // and the message back when the menu closes.
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    std::wstring PaneText(int pane) const;
    // The width of `text` in the bar's font, with the pane's borders.
    int TextWidth(std::wstring_view text) const;
    HFONT Font() const;
    void AutoSize();
    int Height() const;

  private:
    void SizePanes();
    void ApplyWidths();

    void WritePane(int pane, const std::wstring& text);

    HWND hwnd_ = nullptr;
    // Pane 0's minimum at 96 DPI; the texts the other panes are sized to.
    int firstMinWidth_ = 0;
    std::vector<std::wstring> sizingTexts_;
    // The texts the panes were given, so an unchanged one is not sent again.
    TextSlots paneTexts_{8};
    std::vector<int> widths_;
    int dpi_ = 96;
    bool prompting_ = false;
    std::wstring message_;  // the message pane's text while a prompt covers it
};

}  // namespace hourlink::win
