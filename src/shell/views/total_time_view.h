// CTotalTimeView: the text pane under the history list, where the program
// writes its connection log, dial states and the totals of selected rows. A
// read-only multi-line edit on white, in the status bar's font; text is only
// ever appended at the end.
#pragma once

#include <string_view>

#include "shell/win/window.h"

namespace hourlink {

class CTotalTimeView : public win::Window {
  public:
    CTotalTimeView() = default;
    ~CTotalTimeView() override;

    // Creates the pane as a child of `parent` in `font` (not owned; the status
    // bar's font, which must outlive the pane).
    bool Create(HWND parent, int id, HFONT font);
    void SetFont(HFONT font);

    // Adds `text` at the end, wherever the caret or selection was, and scrolls
    // it into view. Line breaks may be "\r\n" or a bare "\n".
    void Append(std::wstring_view text);

  protected:
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    HFONT font_ = nullptr;
    HBRUSH white_ = nullptr;
};

}  // namespace hourlink
