#include "shell/views/month_bar.h"

#include "res/main_window_res.h"
#include "res/resource.h"
#include "shell/win/dpi.h"
#include "shell/win/text.h"

namespace hourlink {

namespace {

// What a slot holds: a button with its picture, or a separator of a width at
// 96 DPI (the picker's and the labels' separators are widened when they are
// made).
struct Slot {
    int id;
    int image;  // the button's picture; -1 for a separator
    int width;  // a separator's width
};

constexpr Slot kSlots[CMonthBar::kSlotCount] = {
    {IDC_MONTH_PICKER, -1, CMonthBar::kPickerWidth},
    {0, -1, 6},
    {ID_CONNECT, 0, 0},
    {ID_EDIT_ENTRY, 1, 0},
    {ID_OPTIONS, 2, 0},
    {0, -1, 7},
    {ID_HANG_UP, 3, 0},
    {ID_SUM_SELECTION, 4, 0},
    {ID_HTML_REPORT, 5, 0},
    {ID_APP_ABOUT, 6, 0},
    // The labels' separators carry the labels' control ids.
    {10, -1, 0},
    {11, -1, 0},
    {12, -1, 0},
    {13, -1, 0},
    {14, -1, 0},
    {15, -1, 0},
};

constexpr const wchar_t* kFirstTexts[CMonthBar::kLabelCount] = {
    L"本月用时:", L"000:00:00   ", L"本次用时:", L"00:00:00   ", L"本次开始时间:", L"  ",
};

constexpr int kButtonImageCount = 7;
// The widest text the picker shows.
constexpr wchar_t kWidestMonth[] = L"2037年12月";

// The button strip drawn at `size` pixels.
UINT ToolbarStrip(int size) {
    switch (size) {
        case 20:
            return IDB_TOOLBAR_20;
        case 24:
            return IDB_TOOLBAR_24;
        case 32:
            return IDB_TOOLBAR_32;
        default:
            return IDR_MAINFRAME;
    }
}

SYSTEMTIME FirstOfMonth(int year, int month) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = 1;
    return st;
}

int TextWidth(HWND window, HFONT font, std::wstring_view text) {
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size.cx;
}

}  // namespace

CMonthBar::~CMonthBar() {
    Destroy();
    if (images_) ImageList_Destroy(images_);
    if (black_) DeleteObject(black_);
}

bool CMonthBar::Create(HWND parent, HFONT font, int dpi) {
    if (Hwnd()) return false;
    font_ = font;
    dpi_ = dpi;
    HWND bar = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | CCS_TOP | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS, 0, 0,
        0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_MONTH_BAR)),
        GetModuleHandleW(nullptr), nullptr);
    if (!bar || !Attach(bar)) {
        if (bar) DestroyWindow(bar);
        return false;
    }
    if (!black_) black_ = CreateSolidBrush(RGB(0, 0, 0));
    SendMessageW(Hwnd(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    LoadImages();
    AddButtons();
    CreatePicker();
    CreateLabels();
    PlaceControls();
    return true;
}

void CMonthBar::SetDpi(int dpi, HFONT font) {
    if (!Hwnd()) return;
    dpi_ = dpi;
    if (font) font_ = font;
    // The slots are made again; the buttons keep their states.
    std::array<BYTE, kSlotCount> states{};
    for (int i = 0; i < kSlotCount; ++i) {
        if (kSlots[i].image >= 0) {
            states[static_cast<size_t>(i)] =
                static_cast<BYTE>(SendMessageW(Hwnd(), TB_GETSTATE, kSlots[i].id, 0));
        }
    }
    while (SendMessageW(Hwnd(), TB_BUTTONCOUNT, 0, 0) > 0)
        SendMessageW(Hwnd(), TB_DELETEBUTTON, 0, 0);
    LoadImages();
    AddButtons();
    for (int i = 0; i < kSlotCount; ++i) {
        if (kSlots[i].image >= 0) {
            SendMessageW(Hwnd(), TB_SETSTATE, kSlots[i].id, states[static_cast<size_t>(i)]);
        }
    }
    SetFont(font_);
    PlaceControls();
}

void CMonthBar::LoadImages() {
    const int size = ImageSizeForDpi(dpi_);
    HIMAGELIST images = win::LoadImageStrip(ToolbarStrip(size), size);
    SendMessageW(Hwnd(), TB_SETBITMAPSIZE, 0, MAKELPARAM(size, size));
    SendMessageW(Hwnd(), TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    if (images_) ImageList_Destroy(images_);
    images_ = images;
}

int CMonthBar::PickerSlotWidth() const {
    // The month's text, the up-down arrows beside it and the edges.
    const int needed = TextWidth(Hwnd(), font_, kWidestMonth) +
                       win::MetricForDpi(SM_CXVSCROLL, dpi_) + win::Scale(12, dpi_);
    return std::max(win::Scale(kPickerWidth, dpi_), needed);
}

void CMonthBar::AddButtons() {
    // The labels' separators are as wide as their first texts.
    TBBUTTON buttons[kSlotCount]{};
    for (int i = 0; i < kSlotCount; ++i) {
        const Slot& slot = kSlots[i];
        TBBUTTON& b = buttons[i];
        b.idCommand = slot.id;
        if (slot.image >= 0 && slot.image < kButtonImageCount) {
            b.iBitmap = slot.image;
            b.fsStyle = BTNS_BUTTON;
            b.fsState = TBSTATE_ENABLED;
        } else {
            b.fsStyle = BTNS_SEP;
            b.iBitmap = i >= kFirstLabelSlot
                            ? TextWidth(Hwnd(), font_, kFirstTexts[i - kFirstLabelSlot])
                        : i == 0 ? PickerSlotWidth()
                                 : win::Scale(slot.width, dpi_);
        }
    }
    SendMessageW(Hwnd(), TB_ADDBUTTONSW, kSlotCount, reinterpret_cast<LPARAM>(buttons));
    SendMessageW(Hwnd(), TB_AUTOSIZE, 0, 0);
}

void CMonthBar::PlaceControls() {
    RECT slot{};
    SendMessageW(Hwnd(), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&slot));
    if (picker_) {
        MoveWindow(picker_, slot.left, slot.top + 1, slot.right - slot.left,
                   slot.bottom - slot.top - 2, TRUE);
    }
    for (int i = 0; i < kLabelCount; ++i) {
        RECT r{};
        SendMessageW(Hwnd(), TB_GETITEMRECT, kFirstLabelSlot + i, reinterpret_cast<LPARAM>(&r));
        if (i == kLabelCount - 1) r.right = std::max<LONG>(r.right, win::Scale(kLabelsRight, dpi_));
        if (HWND label = labels_[static_cast<size_t>(i)]) {
            MoveWindow(label, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        }
    }
}

void CMonthBar::CreatePicker() {
    picker_ = CreateWindowExW(0, DATETIMEPICK_CLASSW, nullptr,
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | DTS_UPDOWN, 0, 0, 0, 0, Hwnd(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MONTH_PICKER)),
                              GetModuleHandleW(nullptr), nullptr);
    if (!picker_) return;
    // From the first month a record can have to the last one a 32-bit time
    // reaches comfortably, so records of any year still to come can be shown.
    SYSTEMTIME range[2] = {FirstOfMonth(1981, 1), FirstOfMonth(2037, 12)};
    range[1].wDay = 31;
    SendMessageW(picker_, DTM_SETRANGE, GDTR_MIN | GDTR_MAX, reinterpret_cast<LPARAM>(range));
    SendMessageW(picker_, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"yyyy'年'MM'月'"));
    if (font_) SendMessageW(picker_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    SetMonth(now.wYear, now.wMonth);

    // The picker's tool tip, from the second field of string 110.
    if (HWND tips = reinterpret_cast<HWND>(SendMessageW(Hwnd(), TB_GETTOOLTIPS, 0, 0))) {
        tip_ = std::wstring(win::Field(win::LoadResourceString(IDC_MONTH_PICKER), 1));
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(picker_);
        tool.lpszText = tip_.data();
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CMonthBar::CreateLabels() {
    labelTexts_.Forget();
    for (int i = 0; i < kLabelCount; ++i) {
        const int slot = kFirstLabelSlot + i;
        labelTexts_.Take(static_cast<size_t>(i), kFirstTexts[i]);
        labels_[static_cast<size_t>(i)] = CreateWindowExW(
            0, L"STATIC", kFirstTexts[i], WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 0, 0, 0,
            0, Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(slot)),
            GetModuleHandleW(nullptr), nullptr);
        if (labels_[static_cast<size_t>(i)] && font_) {
            SendMessageW(labels_[static_cast<size_t>(i)], WM_SETFONT,
                         reinterpret_cast<WPARAM>(font_), FALSE);
        }
    }
}

void CMonthBar::SetMonth(int year, int month) {
    if (!picker_) return;
    SYSTEMTIME st = FirstOfMonth(year, month);
    SendMessageW(picker_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

SYSTEMTIME CMonthBar::PickerTime() const {
    SYSTEMTIME st{};
    if (picker_) SendMessageW(picker_, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
    return st;
}

int CMonthBar::Year() const {
    return PickerTime().wYear;
}

int CMonthBar::Month() const {
    return PickerTime().wMonth;
}

void CMonthBar::EnableButton(int command, bool enabled) {
    if (Hwnd()) SendMessageW(Hwnd(), TB_ENABLEBUTTON, command, MAKELPARAM(enabled ? 1 : 0, 0));
}

bool CMonthBar::IsButtonEnabled(int command) const {
    return Hwnd() && SendMessageW(Hwnd(), TB_ISBUTTONENABLED, command, 0) != 0;
}

void CMonthBar::SetLabel(int index, std::wstring_view text) {
    // Set every second by the tick: the label repaints only for a new text.
    HWND label = labels_[static_cast<size_t>(index)];
    if (label && labelTexts_.Take(static_cast<size_t>(index), text)) {
        SetWindowTextW(label, std::wstring(text).c_str());
    }
}

void CMonthBar::SetFont(HFONT font) {
    font_ = font;
    if (!font_) return;
    if (picker_) SendMessageW(picker_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    for (HWND label : labels_) {
        if (label) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
}

void CMonthBar::AutoSize() {
    if (Hwnd()) SendMessageW(Hwnd(), TB_AUTOSIZE, 0, 0);
}

bool CMonthBar::IsLabel(HWND hwnd) const {
    for (HWND label : labels_) {
        if (label && label == hwnd) return true;
    }
    return false;
}

void CMonthBar::OnDateTimeChange(const NMDATETIMECHANGE& change) {
    if (change.dwFlags != GDT_VALID) return;
    if (monthChanged_) monthChanged_(change.st.wYear, change.st.wMonth);
}

std::vector<UINT> CMonthBar::ButtonCommands() {
    std::vector<UINT> commands;
    for (const Slot& slot : kSlots) {
        if (slot.image >= 0) commands.push_back(static_cast<UINT>(slot.id));
    }
    return commands;
}

bool CMonthBar::OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // A button's click, which the tool bar sends its parent.
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        if (buttonClicked_) buttonClicked_(LOWORD(wp));
        result = 0;
        return true;
    }
    if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == TBN_HOTITEMCHANGE) {
        const auto* hot = reinterpret_cast<const NMTBHOTITEM*>(lp);
        if (hotButtonChanged_) hotButtonChanged_((hot->dwFlags & HICF_LEAVING) ? 0 : hot->idNew);
        result = 0;  // the hot item may change
        return true;
    }
    return Window::OnReflected(msg, wp, lp, result);
}

void CMonthBar::OnToolTipText(NMTTDISPINFOW& info) {
    if (info.uFlags & TTF_IDISHWND) return;  // the picker's tool has its text
    tip_ = std::wstring(win::Field(win::LoadResourceString(static_cast<UINT>(info.hdr.idFrom)), 1));
    info.lpszText = tip_.data();
    info.hinst = nullptr;
}

LRESULT CMonthBar::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORSTATIC:
            if (IsLabel(reinterpret_cast<HWND>(lp))) {
                HDC dc = reinterpret_cast<HDC>(wp);
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, kLabelText);
                return reinterpret_cast<LRESULT>(black_);
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lp);
            if (header->hwndFrom == picker_ && header->code == DTN_DATETIMECHANGE) {
                OnDateTimeChange(*reinterpret_cast<NMDATETIMECHANGE*>(lp));
                return 0;
            }
            if (header->code == TTN_GETDISPINFOW) {
                OnToolTipText(*reinterpret_cast<NMTTDISPINFOW*>(lp));
                return 0;
            }
            break;
        }
    }
    return Window::WndProc(msg, wp, lp);
}

}  // namespace hourlink
