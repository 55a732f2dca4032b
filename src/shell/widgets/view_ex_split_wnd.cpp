#include "shell/widgets/view_ex_split_wnd.h"

#include <windowsx.h>

#include <algorithm>

namespace hourlink::widgets {

namespace {

constexpr wchar_t kClassName[] = L"Hourlink.SplitWnd";

}  // namespace

bool CViewExSplitWnd::Create(HWND parent, int rows, int columns, int id, DWORD style,
                             DWORD exStyle) {
    if (rows < 1 || columns < 1) return false;
    rows_ = rows;
    columns_ = columns;
    panes_.assign(static_cast<size_t>(rows * columns), nullptr);
    rowAxis_.wanted.assign(static_cast<size_t>(rows), 0);
    rowAxis_.actual.assign(static_cast<size_t>(rows), 0);
    columnAxis_.wanted.assign(static_cast<size_t>(columns), 0);
    columnAxis_.actual.assign(static_cast<size_t>(columns), 0);

    win::WindowClass wc;
    wc.name = kClassName;
    wc.style = 0;  // the panes cover everything but the bars: no full repaints
    wc.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    win::CreateArgs args;
    args.parent = parent;
    args.style = style | WS_CLIPCHILDREN;
    args.exStyle = exStyle;
    args.x = args.y = 0;
    args.width = args.height = 0;
    args.menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
    return win::Window::Create(wc, args);
}

void CViewExSplitWnd::SetPane(int row, int column, HWND child) {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return;
    if (child && GetParent(child) != Hwnd()) SetParent(child, Hwnd());
    panes_[static_cast<size_t>(row * columns_ + column)] = child;
    RecalcLayout();
}

HWND CViewExSplitWnd::Pane(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return nullptr;
    return panes_[static_cast<size_t>(row * columns_ + column)];
}

void CViewExSplitWnd::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= columns_) return;
    columnAxis_.wanted[static_cast<size_t>(column)] = std::max(width, 0);
    RecalcLayout();
}

void CViewExSplitWnd::SetRowHeight(int row, int height) {
    if (row < 0 || row >= rows_) return;
    rowAxis_.wanted[static_cast<size_t>(row)] = std::max(height, 0);
    RecalcLayout();
}

int CViewExSplitWnd::ColumnWidth(int column) const {
    return column >= 0 && column < columns_ ? columnAxis_.actual[static_cast<size_t>(column)] : 0;
}

int CViewExSplitWnd::RowHeight(int row) const {
    return row >= 0 && row < rows_ ? rowAxis_.actual[static_cast<size_t>(row)] : 0;
}

// Sizes the cells of one axis to `extent` pixels. The last cell takes what the
// others leave; when that is less than the minimum, the cells before it give
// up room from the nearest one backwards, none going below the minimum.
void CViewExSplitWnd::Layout(Axis& axis, int extent, Resize resize) {
    const int n = static_cast<int>(axis.wanted.size());
    const int bars = (n - 1) * kBarSize;
    const int room = std::max(extent - bars, 0);
    const int oldRoom = axis.extent - bars;
    if (resize == Resize::kProportional && axis.extent > 0 && oldRoom > 0 &&
        extent != axis.extent) {
        for (int i = 0; i + 1 < n; ++i) {
            auto& wanted = axis.wanted[static_cast<size_t>(i)];
            wanted =
                static_cast<int>((static_cast<long long>(wanted) * room + oldRoom / 2) / oldRoom);
        }
    }
    int used = 0;
    for (int i = 0; i + 1 < n; ++i) {
        axis.actual[static_cast<size_t>(i)] = axis.wanted[static_cast<size_t>(i)];
        used += axis.actual[static_cast<size_t>(i)];
    }
    int deficit = kMinPaneSize - (room - used);
    for (int i = n - 2; i >= 0 && deficit > 0; --i) {
        auto& size = axis.actual[static_cast<size_t>(i)];
        const int give = std::clamp(size - kMinPaneSize, 0, deficit);
        size -= give;
        used -= give;
        deficit -= give;
    }
    // Still too little room: the leading cells shrink below the minimum.
    for (int i = n - 2; i >= 0 && used > room; --i) {
        auto& size = axis.actual[static_cast<size_t>(i)];
        const int give = std::min(size, used - room);
        size -= give;
        used -= give;
    }
    axis.actual[static_cast<size_t>(n - 1)] = room - used;
    axis.extent = extent;
}

int CViewExSplitWnd::Start(const Axis& axis, int index) {
    int start = 0;
    for (int i = 0; i < index; ++i) start += axis.actual[static_cast<size_t>(i)] + kBarSize;
    return start;
}

void CViewExSplitWnd::RecalcLayout() {
    if (!Hwnd()) return;
    RECT client{};
    GetClientRect(Hwnd(), &client);
    OnSize(client.right, client.bottom);
}

void CViewExSplitWnd::OnSize(int width, int height) {
    Layout(columnAxis_, width, columnResize_);
    Layout(rowAxis_, height, rowResize_);
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c) {
            if (HWND pane = Pane(r, c)) {
                SetWindowPos(pane, nullptr, Start(columnAxis_, c), Start(rowAxis_, r),
                             ColumnWidth(c), RowHeight(r), SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }
    InvalidateRect(Hwnd(), nullptr, TRUE);  // the bars
}

CViewExSplitWnd::Hit CViewExSplitWnd::HitTest(POINT pt) const {
    Hit hit;
    for (int c = 0; c + 1 < columns_; ++c) {
        const int bar = Start(columnAxis_, c) + ColumnWidth(c);
        if (pt.x >= bar && pt.x < bar + kBarSize) hit.columnBar = c;
    }
    for (int r = 0; r + 1 < rows_; ++r) {
        const int bar = Start(rowAxis_, r) + RowHeight(r);
        if (pt.y >= bar && pt.y < bar + kBarSize) hit.rowBar = r;
    }
    return hit;
}

void CViewExSplitWnd::OnButtonDown(POINT pt) {
    drag_ = HitTest(pt);
    if (drag_.columnBar < 0 && drag_.rowBar < 0) return;
    // Where in the bar the mouse took hold, so the bar does not jump.
    if (drag_.columnBar >= 0) {
        grip_.x = pt.x - Start(columnAxis_, drag_.columnBar) - ColumnWidth(drag_.columnBar);
    }
    if (drag_.rowBar >= 0) grip_.y = pt.y - Start(rowAxis_, drag_.rowBar) - RowHeight(drag_.rowBar);
    SetCapture(Hwnd());
}

void CViewExSplitWnd::OnMouseMove(POINT pt) {
    if (GetCapture() != Hwnd()) return;
    if (drag_.columnBar >= 0) MoveBar(columnAxis_, drag_.columnBar, pt.x - grip_.x);
    if (drag_.rowBar >= 0) MoveBar(rowAxis_, drag_.rowBar, pt.y - grip_.y);
    RecalcLayout();
    UpdateWindow(Hwnd());  // live: the panes follow the mouse
}

// Puts bar `bar` at `position`: the cells on both sides share their room anew,
// each keeping at least the minimum; the others stay as they are.
void CViewExSplitWnd::MoveBar(Axis& axis, int bar, int position) {
    auto& before = axis.actual[static_cast<size_t>(bar)];
    auto& after = axis.actual[static_cast<size_t>(bar + 1)];
    const int both = before + after;
    const int low = std::min(kMinPaneSize, both);
    const int high = std::max(low, both - kMinPaneSize);
    before = std::clamp(position - Start(axis, bar), low, high);
    after = both - before;
    axis.wanted = axis.actual;
}

bool CViewExSplitWnd::OnSetCursor() {
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(Hwnd(), &pt);
    const Hit hit = GetCapture() == Hwnd() ? drag_ : HitTest(pt);
    const wchar_t* cursor = nullptr;
    if (hit.columnBar >= 0 && hit.rowBar >= 0) {
        cursor = IDC_SIZEALL;
    } else if (hit.columnBar >= 0) {
        cursor = IDC_SIZEWE;
    } else if (hit.rowBar >= 0) {
        cursor = IDC_SIZENS;
    }
    if (!cursor) return false;
    SetCursor(LoadCursorW(nullptr, cursor));
    return true;
}

HWND CViewExSplitWnd::ActivePane(int* row, int* column) const {
    HWND focus = GetFocus();
    if (!focus) return nullptr;
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c) {
            HWND pane = Pane(r, c);
            if (pane && (pane == focus || IsChild(pane, focus))) {
                if (row) *row = r;
                if (column) *column = c;
                return pane;
            }
        }
    }
    return nullptr;
}

LRESULT CViewExSplitWnd::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            OnSize(LOWORD(lp), HIWORD(lp));
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == Hwnd()) ReleaseCapture();
            drag_ = {};
            return 0;
        case WM_CAPTURECHANGED:
            drag_ = {};
            return 0;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wp) == Hwnd() && LOWORD(lp) == HTCLIENT && OnSetCursor()) {
                return TRUE;
            }
            break;
    }
    return Window::WndProc(msg, wp, lp);
}

}  // namespace hourlink::widgets
