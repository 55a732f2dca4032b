#include "shell/widgets/arrow_header_ctrl.h"

#include <string>

namespace hourlink::widgets {

void CArrowHeaderCtrl::SetSortImage(int column, bool descending) {
    column_ = column;
    descending_ = descending;
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (Header_GetItem(Hwnd(), column, &item)) {
        item.fmt |= HDF_OWNERDRAW;
        Header_SetItem(Hwnd(), column, &item);
    }
    InvalidateRect(Hwnd(), nullptr, TRUE);
}

bool CArrowHeaderCtrl::OnReflected(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (item->CtlType != ODT_HEADER) return false;
    DrawItem(*item);
    result = TRUE;
    return true;
}

void CArrowHeaderCtrl::DrawItem(const DRAWITEMSTRUCT& draw) {
    HDC dc = draw.hDC;
    RECT r = draw.rcItem;
    const int q = (r.bottom - r.top) / 4;
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    if (draw.itemState & ODS_SELECTED) OffsetRect(&r, 1, 2);

    const int index = static_cast<int>(draw.itemID);
    const bool sorted = index == column_;
    wchar_t title[128] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = title;
    item.cchTextMax = static_cast<int>(std::size(title));
    Header_GetItem(Hwnd(), index, &item);

    RECT text = r;
    text.left += q;
    text.right -= sorted ? 4 * q : q;
    if (text.right > text.left) {
        UINT format = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
        switch (item.fmt & HDF_JUSTIFYMASK) {
            case HDF_CENTER:
                format |= DT_CENTER;
                break;
            case HDF_RIGHT:
                format |= DT_RIGHT;
                break;
            default:
                format |= DT_LEFT;
        }
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(Hwnd(), WM_GETFONT, 0, 0));
        HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextW(dc, title, -1, &text, format);
        if (oldFont) SelectObject(dc, oldFont);
    }
    if (!sorted) return;

    // The triangle's corners lie q, 2q and 3q pixels from the right edge; the
    // lit sides in the highlight colour, the others in the shadow colour.
    const int left = r.right - 3 * q;
    const int middle = r.right - 2 * q;
    const int right = r.right - q;
    const int top = r.top + q + q / 2;
    const int bottom = r.bottom - q - q / 2;
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DHILIGHT));
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
    HGDIOBJ oldPen = SelectObject(dc, light);
    if (!descending_) {
        // Ascending: flat side on top, point at the bottom.
        SelectObject(dc, shadow);
        MoveToEx(dc, right, top, nullptr);
        LineTo(dc, left, top);
        LineTo(dc, middle, bottom);
        SelectObject(dc, light);
        LineTo(dc, right, top);
    } else {
        SelectObject(dc, light);
        MoveToEx(dc, middle, top, nullptr);
        LineTo(dc, right, bottom);
        LineTo(dc, left, bottom);
        SelectObject(dc, shadow);
        LineTo(dc, middle, top);
    }
    SelectObject(dc, oldPen);
    DeleteObject(light);
    DeleteObject(shadow);
}

}  // namespace hourlink::widgets
