#include "shell/views/total_time_view.h"

#include <string>

namespace hourlink {

namespace {

// An edit control's largest text, so a long-running log is never cut off.
constexpr WPARAM kNoLimit = 0x7FFFFFFE;

// The edit control starts a new line only at "\r\n"; a bare "\n" would show
// as nothing.
std::wstring WithEditLineBreaks(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out += L'\r';
        out += text[i];
    }
    return out;
}

}  // namespace

CTotalTimeView::~CTotalTimeView() {
    Destroy();
    if (white_) DeleteObject(white_);
}

bool CTotalTimeView::Create(HWND parent, int id, HFONT font) {
    if (Hwnd()) return false;
    HWND edit =
        CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                            ES_READONLY | ES_NOHIDESEL,
                        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    if (!edit || !Attach(edit)) {
        if (edit) DestroyWindow(edit);
        return false;
    }
    if (!white_) white_ = CreateSolidBrush(RGB(255, 255, 255));
    SendMessageW(edit, EM_SETLIMITTEXT, kNoLimit, 0);
    SetFont(font);
    return true;
}

void CTotalTimeView::SetFont(HFONT font) {
    font_ = font;
    if (Hwnd() && font_) SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

void CTotalTimeView::Append(std::wstring_view text) {
    if (!Hwnd()) return;
    const std::wstring converted = WithEditLineBreaks(text);
    const int end = GetWindowTextLengthW(Hwnd());
    SendMessageW(Hwnd(), EM_SETSEL, end, end);
    SendMessageW(Hwnd(), EM_SCROLLCARET, 0, 0);
    SendMessageW(Hwnd(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(converted.c_str()));
    SendMessageW(Hwnd(), EM_SCROLLCARET, 0, 0);
}

bool CTotalTimeView::OnReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    switch (msg) {
        case WM_CTLCOLORSTATIC:  // what a read-only edit asks
        case WM_CTLCOLOREDIT: {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, RGB(255, 255, 255));
            result = reinterpret_cast<LRESULT>(white_);
            return true;
        }
        case WM_COMMAND:
            // Someone may have set another font; the pane keeps the status
            // bar's.
            if (HIWORD(wp) == EN_UPDATE && font_ &&
                reinterpret_cast<HFONT>(SendMessageW(Hwnd(), WM_GETFONT, 0, 0)) != font_) {
                SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
            }
            return false;
    }
    return false;
}

}  // namespace hourlink
