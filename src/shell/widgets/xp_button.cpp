#include "shell/widgets/xp_button.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <string>

namespace hourlink::widgets {

CXPButton::CXPButton()
    : boundaryPen_(CreatePen(PS_INSIDEFRAME, 1, kBoundary)),
      leftPen_(CreatePen(PS_SOLID, 3, kFrameLeft)),
      rightPen_(CreatePen(PS_SOLID, 3, kFrameRight)),
      topPen_(CreatePen(PS_SOLID, 2, kFrameTop)),
      bottomPen_(CreatePen(PS_SOLID, 2, kFrameBottom)),
      hoverBrush_(CreateSolidBrush(kFace)),
      normalBrush_(CreateSolidBrush(kFace)) {}

CXPButton::~CXPButton() {
    // Give the button its own look back if it outlives this object.
    if (Hwnd()) {
        const LONG_PTR style = GetWindowLongPtrW(Hwnd(), GWL_STYLE);
        const LONG_PTR type = default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        SetWindowLongPtrW(Hwnd(), GWL_STYLE, (style & ~LONG_PTR{BS_TYPEMASK}) | type);
        InvalidateRect(Hwnd(), nullptr, TRUE);
    }
}

bool CXPButton::SubclassButton(HWND button) {
    if (!button || !Attach(button)) return false;
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    default_ = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    SetWindowLongPtrW(button, GWL_STYLE, (style & ~LONG_PTR{BS_TYPEMASK}) | BS_OWNERDRAW);
    InvalidateRect(button, nullptr, TRUE);
    return true;
}

COLORREF CXPButton::FaceColour(int i, bool hover, bool focus) {
    const int rg = 255 - (hover ? i / 4 : i / 3);
    const int d = hover ? (focus ? 3 : 5) : (focus ? 4 : 5);
    return RGB(rg, rg, 255 - i / d);
}

LRESULT CXPButton::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof track;
                track.dwFlags = TME_LEAVE | TME_HOVER;
                track.hwndTrack = Hwnd();
                track.dwHoverTime = 1;
                tracking_ = _TrackMouseEvent(&track) != FALSE;
            }
            break;
        case WM_MOUSEHOVER:
            hover_ = true;
            InvalidateRect(Hwnd(), nullptr, TRUE);
            return 0;
        case WM_MOUSELEAVE:
            tracking_ = false;
            hover_ = false;
            InvalidateRect(Hwnd(), nullptr, FALSE);
            return 0;
        case WM_GETDLGCODE:
            // Answer as a push button does, so that the dialog manager moves the
            // default to the focused button and Enter presses the button in focus.
            return DLGC_BUTTON | (default_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        case BM_SETSTYLE: {
            // The dialog manager marks and unmarks the default button this way;
            // the button keeps being drawn here either way.
            default_ = (wp & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
            const WPARAM style = (wp & ~WPARAM{BS_TYPEMASK}) | BS_OWNERDRAW;
            return DefaultProc(msg, style, lp);
        }
    }
    return Window::WndProc(msg, wp, lp);
}

bool CXPButton::OnReflected(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
    if (msg != WM_DRAWITEM) return false;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
    if (item->CtlType != ODT_BUTTON) return false;
    DrawItem(*item);
    result = TRUE;
    return true;
}

void CXPButton::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    focus_ = (item.itemState & ODS_FOCUS) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;

    // The corners outside the rounded frame show the dialog's background.
    HBRUSH background = reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(item.hwndItem), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(item.hwndItem)));
    FillRect(dc, &r, background ? background : GetSysColorBrush(COLOR_BTNFACE));

    {
        Selection pen(dc, boundaryPen_.Get());
        Selection brush(dc, hover_ ? hoverBrush_.Get() : normalBrush_.Get());
        RoundRect(dc, r.left, r.top, r.right, r.bottom, 10, 10);
    }

    RECT face = r;
    InflateRect(&face, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
    const int faceHeight = face.bottom - face.top;
    if (faceHeight > 0) {
        std::array<OwnedBrush, 64> brushes;
        for (int i = 0; i < 64; ++i) {
            brushes[static_cast<size_t>(i)].Reset(CreateSolidBrush(FaceColour(i, hover_, focus_)));
        }
        for (int y = face.top; y < faceHeight + 2; ++y) {
            const int i = std::min(63, y * 63 / faceHeight);
            RECT row = {face.left, y, face.right - face.left + 2, y + 1};
            FillRect(dc, &row, brushes[static_cast<size_t>(i)].Get());
        }
    }

    if (hover_) {
        auto line = [&](const OwnedPen& pen, int x1, int y1, int x2, int y2) {
            Selection selected(dc, pen.Get());
            MoveToEx(dc, x1, y1, nullptr);
            LineTo(dc, x2, y2);
        };
        line(leftPen_, face.left, face.bottom - 3, face.left, face.top + 2);
        line(rightPen_, face.right - 1, face.bottom - 3, face.right - 1, face.top + 2);
        line(topPen_, face.left + 2, face.top, face.right - 2, face.top);
        line(bottomPen_, face.left + 2, face.bottom, face.right - 2, face.bottom);
    }

    const int length = GetWindowTextLengthW(item.hwndItem);
    if (length <= 0) return;
    std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
    caption.resize(static_cast<size_t>(
        GetWindowTextW(item.hwndItem, caption.data(), static_cast<int>(caption.size()))));
    const bool enabled = !(item.itemState & ODS_DISABLED);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    Selection selectedFont(dc, font);

    // An enabled caption shows an ampersand as it is; a disabled one is drawn
    // embossed with its mnemonic underlined.
    RECT extent = {0, 0, 0, 0};
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &extent,
              DT_CALCRECT | DT_SINGLELINE | (enabled ? DT_NOPREFIX : 0));
    const int width = extent.right - extent.left;
    const int height = extent.bottom - extent.top;
    int x = face.left + (face.right - face.left - width) / 2;
    int y = face.top + (face.bottom - face.top - height) / 2;
    if (pressed) {
        ++x;
        ++y;
    }
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    if (enabled) {
        // The face is always light: dark text, whatever colour the dialog asked for.
        const COLORREF oldColour = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        TextOutW(dc, x, y, caption.c_str(), static_cast<int>(caption.size()));
        SetTextColor(dc, oldColour);
    } else {
        DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption.c_str()),
                   static_cast<WPARAM>(caption.size()), x, y, width, height,
                   DST_PREFIXTEXT | DSS_DISABLED);
    }
    SetBkMode(dc, oldMode);
}

}  // namespace hourlink::widgets
