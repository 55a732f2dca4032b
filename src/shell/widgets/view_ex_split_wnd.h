// CViewExSplitWnd: a splitter window of rows x columns of child panes, with bars
// between them that the user drags. The main window uses one row of two columns
// (device tree | the rest), the right one itself a splitter of two rows
// (history list over the text pane). The panes' notifications are reflected to
// the panes' own objects, as every parent of this layer does.
#pragma once

#include "shell/win/window.h"

#include <vector>

namespace hourlink::widgets {

class CViewExSplitWnd : public win::Window {
  public:
    // How a row or column size reacts when the splitter itself is resized.
    enum class Resize {
        kKeepSizes,     // the leading panes keep their sizes; the last takes the rest
        kProportional,  // every pane keeps its share of the room
    };

    static constexpr int kBarSize = 5;
    static constexpr int kMinPaneSize = 16;

    // Creates the splitter as a child of `parent` with the given grid. Before
    // panes are set, the grid is empty room.
    bool Create(HWND parent, int rows, int columns, int id, DWORD style = WS_CHILD | WS_VISIBLE,
                DWORD exStyle = 0);

    // Puts `child` (any window) in a cell; it becomes a child of the splitter.
    void SetPane(int row, int column, HWND child);
    HWND Pane(int row, int column) const;

    // The wanted size of a row or column. The last one always takes the room
    // that is left, so setting it has no effect.
    void SetColumnWidth(int column, int width);
    void SetRowHeight(int row, int height);
    void SetResize(Resize rows, Resize columns) {
        rowResize_ = rows;
        columnResize_ = columns;
    }
    // The sizes as laid out now.
    int ColumnWidth(int column) const;
    int RowHeight(int row) const;

    // Places the panes in the client area.
    void RecalcLayout();

    // The pane that holds the keyboard focus (the pane itself or a window inside
    // it); null when the focus is elsewhere.
    HWND ActivePane(int* row = nullptr, int* column = nullptr) const;

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    // One axis: the wanted sizes of its cells and the laid-out ones.
    struct Axis {
        std::vector<int> wanted;
        std::vector<int> actual;
        int extent = 0;  // the client extent of the last layout
    };
    // Which bar is under a point: the index of the cell before it, or -1.
    struct Hit {
        int rowBar = -1;
        int columnBar = -1;
    };

    static void Layout(Axis& axis, int extent, Resize resize);
    static int Start(const Axis& axis, int index);
    Hit HitTest(POINT pt) const;
    void OnSize(int width, int height);
    void OnButtonDown(POINT pt);
    void OnMouseMove(POINT pt);
    void MoveBar(Axis& axis, int bar, int position);
    bool OnSetCursor();

    int rows_ = 0;
    int columns_ = 0;
    std::vector<HWND> panes_;  // row-major
    Axis rowAxis_;
    Axis columnAxis_;
    Resize rowResize_ = Resize::kProportional;
    Resize columnResize_ = Resize::kKeepSizes;
    // The bar being dragged and where in it the mouse took hold.
    Hit drag_;
    POINT grip_{};
};

}  // namespace hourlink::widgets
