#include "shell/widgets/list_view_ex.h"

#include <algorithm>

namespace hourlink::widgets {

namespace {

constexpr wchar_t kEllipsis[] = L"...";

int TextWidth(HDC dc, const wchar_t* text, int length) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, length, &size);
    return size.cx;
}

}  // namespace

CListViewEx::~CListViewEx() {
    Destroy();
}

bool CListViewEx::Create(HWND parent, int id, DWORD style) {
    if (Hwnd()) return false;
    // Whole rows drawn here: report style with owner-drawn fixed rows.
    style = (style | WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_OWNERDRAWFIXED) &
            ~static_cast<DWORD>(LVS_SMALLICON);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", style, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                GetModuleHandleW(nullptr), nullptr);
    if (!list || !Attach(list)) {
        if (list) DestroyWindow(list);
        return false;
    }
    fullRowSelect_ = true;
    RECT client{};
    GetClientRect(list, &client);
    clientWidth_ = client.right;
    return true;
}

std::wstring CListViewEx::ItemText(int item, int column) const {
    wchar_t buffer[512] = {};
    LVITEMW lvi{};
    lvi.iSubItem = column;
    lvi.pszText = buffer;
    lvi.cchTextMax = static_cast<int>(std::size(buffer));
    const auto n = SendMessageW(Hwnd(), LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                                reinterpret_cast<LPARAM>(&lvi));
    return std::wstring(buffer, static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
}

int CListViewEx::ColumnCount() const {
    HWND header = ListView_GetHeader(Hwnd());
    return header ? Header_GetItemCount(header) : 0;
}

std::wstring CListViewEx::FitText(HDC dc, const std::wstring& text, int width) {
    const int length = static_cast<int>(text.size());
    if (length == 0 || TextWidth(dc, text.c_str(), length) <= width) return text;
    const int dots = TextWidth(dc, kEllipsis, 3);
    // The longest front whose width with the dots fits: widths grow with the
    // length, so a binary search finds it.
    int low = 0;
    int high = length;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (TextWidth(dc, text.c_str(), mid) + dots <= width) {
            low = mid;
        } else {
            high = mid - 1;
        }
    }
    return text.substr(0, static_cast<std::size_t>(low)) + kEllipsis;
}

LRESULT CListViewEx::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SIZE:
            clientWidth_ = LOWORD(lp);
            break;
        case LVM_SETTEXTCOLOR:
            textColor_ = static_cast<COLORREF>(lp);
            break;
        case LVM_SETTEXTBKCOLOR:
            textBkColor_ = static_cast<COLORREF>(lp);
            break;
        case LVM_SETBKCOLOR:
            bkColor_ = static_cast<COLORREF>(lp);
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT result = Window::WndProc(msg, wp, lp);
            RepaintSelectedItems();
            return result;
        }
        case WM_PAINT:
            if (clientWidthSelection_ && fullRowSelect_) {
                // The strip right of the last column, so a selected row's
                // highlight reaches the edge.
                const int columns = ColumnCount();
                RECT last{};
                HWND header = ListView_GetHeader(Hwnd());
                if (columns > 0 && header && Header_GetItemRect(header, columns - 1, &last)) {
                    RECT client{};
                    GetClientRect(Hwnd(), &client);
                    client.left = last.right - GetScrollPos(Hwnd(), SB_HORZ);
                    if (client.left < client.right) InvalidateRect(Hwnd(), &client, FALSE);
                }
            }
            break;
    }
    return Window::WndProc(msg, wp, lp);
}

void CListViewEx::RepaintSelectedItems() {
    const int focused = ListView_GetNextItem(Hwnd(), -1, LVNI_FOCUSED);
    RECT r{};
    if (focused >= 0 && ListView_GetItemRect(Hwnd(), focused, &r, LVIR_BOUNDS)) {
        InvalidateRect(Hwnd(), &r, FALSE);
    }
    for (int i = ListView_GetNextItem(Hwnd(), -1, LVNI_SELECTED); i >= 0;
         i = ListView_GetNextItem(Hwnd(), i, LVNI_SELECTED)) {
        if (ListView_GetItemRect(Hwnd(), i, &r, LVIR_BOUNDS)) InvalidateRect(Hwnd(), &r, FALSE);
    }
    UpdateWindow(Hwnd());
}

bool CListViewEx::OnReflected(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (item->CtlType != ODT_LISTVIEW) return false;
    DrawItem(*item);
    result = TRUE;
    return true;
}

void CListViewEx::DrawItem(const DRAWITEMSTRUCT& draw) {
    HWND list = Hwnd();
    HDC dc = draw.hDC;
    const int index = static_cast<int>(draw.itemID);

    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_STATE;
    item.iItem = index;
    item.stateMask = 0xFFFF;
    ListView_GetItem(list, &item);

    const bool focus = GetFocus() == list;
    const bool showAlways = (GetWindowLongW(list, GWL_STYLE) & LVS_SHOWSELALWAYS) != 0;
    const bool selected =
        ((item.state & LVIS_SELECTED) && (focus || showAlways)) || (item.state & LVIS_DROPHILITED);

    RECT all{};
    RECT label{};
    RECT icon{};
    ListView_GetItemRect(list, index, &all, LVIR_BOUNDS);
    ListView_GetItemRect(list, index, &label, LVIR_LABEL);
    ListView_GetItemRect(list, index, &icon, LVIR_ICON);

    RECT highlight = all;
    highlight.left = label.left;
    if (clientWidthSelection_ && highlight.right < clientWidth_) highlight.right = clientWidth_;

    HBRUSH background = CreateSolidBrush(textBkColor_);
    RECT row = all;
    if (clientWidthSelection_ && row.right < clientWidth_) row.right = clientWidth_;
    FillRect(dc, &row, background);
    DeleteObject(background);
    if (selected) {
        FillRect(dc, &highlight, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    } else {
        SetTextColor(dc, textColor_);
        SetBkColor(dc, textBkColor_);
    }
    SetBkMode(dc, TRANSPARENT);

    // State image, then the small image, blended when selected.
    const int stateImage = static_cast<int>((item.state & LVIS_STATEIMAGEMASK) >> 12);
    if (stateImage > 0) {
        if (HIMAGELIST states = ListView_GetImageList(list, LVSIL_STATE)) {
            ImageList_Draw(states, stateImage, dc, icon.left - stateImageWidth_, icon.top,
                           ILD_TRANSPARENT);
        }
    }
    if (HIMAGELIST small = ListView_GetImageList(list, LVSIL_SMALL)) {
        const UINT style = ILD_TRANSPARENT | (selected ? ILD_BLEND50 : 0);
        ImageList_DrawEx(small, item.iImage, dc, icon.left, icon.top, 0, 0, CLR_NONE,
                         selected ? GetSysColor(COLOR_HIGHLIGHT) : CLR_NONE, style);
    }

    // The texts: the first column 2 pixels in, the others 6, each cut with
    // "..." (and then drawn left-aligned) when too wide.
    const int columns = ColumnCount();
    for (int column = 0; column < columns; ++column) {
        LVCOLUMNW info{};
        info.mask = LVCF_FMT | LVCF_WIDTH;
        ListView_GetColumn(list, column, &info);
        RECT cell{};
        if (column == 0) {
            cell = label;
        } else {
            ListView_GetSubItemRect(list, index, column, LVIR_BOUNDS, &cell);
        }
        const int inset = column == 0 ? 2 : 6;
        const int spare = column == 0 ? 4 : 12;
        const std::wstring text = ItemText(index, column);
        const int available = (cell.right - cell.left) - spare;
        const std::wstring shown = FitText(dc, text, std::max(available, 0));
        UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER;
        if (shown.size() == text.size()) {
            switch (info.fmt & LVCFMT_JUSTIFYMASK) {
                case LVCFMT_RIGHT:
                    format |= DT_RIGHT;
                    break;
                case LVCFMT_CENTER:
                    format |= DT_CENTER;
                    break;
                default:
                    format |= DT_LEFT;
            }
        }
        RECT textRect = cell;
        textRect.left += inset;
        textRect.right -= inset;
        if (textRect.right > textRect.left) {
            DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &textRect, format);
        }
    }

    if ((item.state & LVIS_FOCUSED) && focus) DrawFocusRect(dc, &highlight);
}

}  // namespace hourlink::widgets
