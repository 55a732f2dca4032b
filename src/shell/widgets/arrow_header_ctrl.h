// CArrowHeaderCtrl: a list's header that marks the sorted column with a small
// 3-D triangle, pointing down while the column is sorted ascending and up
// while descending.
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include "shell/win/window.h"

namespace hourlink::widgets {

class CArrowHeaderCtrl : public win::Window {
  public:
    CArrowHeaderCtrl() = default;

    // Marks `column` sorted; `descending` chooses the triangle's direction. The
    // column is drawn by this class from then on, and the header repaints.
    void SetSortImage(int column, bool descending);
    int SortColumn() const { return column_; }
    bool Descending() const { return descending_; }

  protected:
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    void DrawItem(const DRAWITEMSTRUCT& item);

    int column_ = -1;
    bool descending_ = true;
};

}  // namespace hourlink::widgets
