#include "shell/views/drop_window.h"

#include <windowsx.h>

#include <vector>

#include "core/settings/settings.h"
#include "core/ui/screen_placement.h"
#include "res/drop_window_res.h"
#include "res/main_window_res.h"
#include "res/resource.h"

namespace hourlink {

namespace {

constexpr BYTE kTranslucentAlpha = 100;

// The labels the frame's texts go to, in their slots' order.
constexpr std::array kItemIds{IDC_DROP_MONTH, IDC_DROP_SESSION, IDC_DROP_DOWNLOAD, IDC_DROP_UPLOAD,
                             IDC_DROP_DATA};
constexpr std::size_t kDataSlot = 4;
// The client height in dialog units with and without the data row.
constexpr int kHeightWithData = 38;
constexpr int kHeightWithoutData = 29;

ScreenRect FromRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The monitors with their work areas, the primary first.
std::vector<MonitorArea> Monitors() {
    std::vector<MonitorArea> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM lp) -> BOOL {
            auto* list = reinterpret_cast<std::vector<MonitorArea>*>(lp);
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (!GetMonitorInfoW(monitor, &info)) return TRUE;
            const MonitorArea area{FromRect(info.rcMonitor), FromRect(info.rcWork)};
            if (info.dwFlags & MONITORINFOF_PRIMARY) {
                list->insert(list->begin(), area);
            } else {
                list->push_back(area);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

}  // namespace

CDropWindow::CDropWindow() : win::Dialog(IDD_DROP_WINDOW), theme_(kDropThemes[0]) {}

CDropWindow::~CDropWindow() {
    Destroy();
    if (brush_) DeleteObject(brush_);
}

void CDropWindow::Prepare(HWND frame, SettingsStore& settings, Reports reports) {
    frame_ = frame;
    settings_ = &settings;
    reports_ = std::move(reports);
    translucent_ = ReadSetting(settings, settings::kTranWindow) != 0;
}

bool CDropWindow::Create(HWND frame, SettingsStore& settings, Reports reports) {
    if (Hwnd()) return false;
    Prepare(frame, settings, std::move(reports));
    return MakeWindow();
}

bool CDropWindow::MakeWindow() {
    if (Hwnd()) return true;
    if (!settings_ || !CreateModeless(nullptr)) return false;
    PlaceAtSavedCorner();
    return true;
}

bool CDropWindow::OnInitDialog() {
    // The texts given before the window existed (the template's are empty).
    static_assert(kItemIds.size() == kItems);
    for (std::size_t slot = 0; slot < std::size(kItemIds); ++slot) {
        items_[slot] = GetDlgItem(Hwnd(), kItemIds[slot]);
        const std::wstring& text = itemTexts_.Text(slot);
        if (!text.empty()) SetWindowTextW(items_[slot], text.c_str());
    }
    FitDataRow();
    if (!brush_) brush_ = CreateSolidBrush(theme_.background);
    if (translucent_) SetTranslucent(true);
    return false;  // no control takes the focus
}

void CDropWindow::PlaceAtSavedCorner() {
    RECT r{};
    GetWindowRect(Hwnd(), &r);
    const std::vector<MonitorArea> monitors = Monitors();
    const ScreenPoint at = PlaceOnMonitors(
        ReadWindowPlacement(*settings_, settings::kDragDlg), monitors, r.right - r.left,
        r.bottom - r.top, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    SetWindowPos(Hwnd(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDropWindow::SavePlacement() {
    if (!Hwnd() || !settings_) return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(Hwnd(), &wp)) return;
    // A tool window's normal position is in screen coordinates.
    const RECT& r = wp.rcNormalPosition;
    WriteWindowPlacement(*settings_, settings::kDragDlg,
                         {static_cast<int>(wp.showCmd), r.top, r.left, r.bottom, r.right});
}

void CDropWindow::SetItemText(int id, std::wstring_view text) {
    // The texts given are remembered, so the tick neither reads them back
    // nor sets one that has not changed.
    std::size_t slot = 0;
    while (slot < std::size(kItemIds) && kItemIds[slot] != id) ++slot;
    if (!itemTexts_.Take(slot, text) || !Hwnd()) return;
    SetWindowTextW(items_[slot], std::wstring(text).c_str());
}

void CDropWindow::SetMonthTime(std::wstring_view text) {
    SetItemText(IDC_DROP_MONTH, text);
}

void CDropWindow::SetSessionTime(std::wstring_view text) {
    SetItemText(IDC_DROP_SESSION, text);
}

void CDropWindow::SetData(std::wstring_view text) {
    const bool shown = !itemTexts_.Text(kDataSlot).empty();
    SetItemText(IDC_DROP_DATA, text);
    if (shown != !text.empty()) FitDataRow();
}

void CDropWindow::FitDataRow() {
    if (!Hwnd()) return;
    const bool show = !itemTexts_.Text(kDataSlot).empty();
    for (int id : {IDC_DROP_DATA_LABEL, IDC_DROP_DATA}) {
        ShowWindow(GetDlgItem(Hwnd(), id), show ? SW_SHOWNA : SW_HIDE);
    }
    // The template's height holds the data row; without it the window ends
    // below the rates.
    RECT rows{0, 0, 0, show ? kHeightWithData : kHeightWithoutData};
    MapDialogRect(Hwnd(), &rows);
    RECT window{};
    RECT client{};
    GetWindowRect(Hwnd(), &window);
    GetClientRect(Hwnd(), &client);
    const int frame = (window.bottom - window.top) - client.bottom;
    SetWindowPos(Hwnd(), nullptr, 0, 0, window.right - window.left, rows.bottom + frame,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDropWindow::SetRates(std::wstring_view download, std::wstring_view upload) {
    SetItemText(IDC_DROP_DOWNLOAD, download);
    SetItemText(IDC_DROP_UPLOAD, upload);
}

void CDropWindow::SetAlarm(DropAlarmState alarm) {
    if (alarm == alarm_) return;
    alarm_ = alarm;
    Repaint();
}

bool CDropWindow::SetTheme(unsigned command) {
    const auto theme = FindDropTheme(command);
    if (!theme) return false;
    theme_ = *theme;
    if (Hwnd()) {
        HBRUSH old = brush_;
        brush_ = CreateSolidBrush(theme_.background);
        if (old) DeleteObject(old);
        Repaint();
    }
    return true;
}

void CDropWindow::Repaint() {
    // The labels too, so that every figure changes colour at once.
    if (Hwnd())
        RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CDropWindow::SetTranslucent(bool on) {
    translucent_ = on;
    if (!Hwnd()) return;
    const LONG_PTR style = GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE);
    const LONG_PTR wanted =
        on ? style | WS_EX_LAYERED : style & ~static_cast<LONG_PTR>(WS_EX_LAYERED);
    if (wanted != style) SetWindowLongPtrW(Hwnd(), GWL_EXSTYLE, wanted);
    if (on) SetLayeredWindowAttributes(Hwnd(), 0, kTranslucentAlpha, LWA_ALPHA);
    Repaint();
}

void CDropWindow::SetVisible(bool visible) {
    // Shown without taking the focus from what the user is doing.
    if (visible && !MakeWindow()) return;
    if (Hwnd()) ShowWindow(Hwnd(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void CDropWindow::UpdateMenu(HMENU menu) const {
    const auto set = [menu](UINT id, bool checked) {
        EnableMenuItem(menu, id, MF_BYCOMMAND | MF_ENABLED);
        CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
    };
    set(ID_SHOW_DROP_WINDOW, IsVisible());
    set(ID_DROP_TRANSLUCENT, IsTranslucent());
    for (const DropTheme& theme : kDropThemes) set(theme.command, theme.command == theme_.command);
}

bool CDropWindow::OnCommand(WORD id, WORD, HWND control) {
    // Enter and Esc do not close the window; its menu's commands are the frame's.
    if (id == IDOK || id == IDCANCEL) return true;
    if (control == nullptr && reports_.command) reports_.command(id);
    return true;
}

void CDropWindow::ShowContextMenu(LPARAM at) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    if (!menu) return;
    POINT pt{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (pt.x == -1 && pt.y == -1) {  // from the keyboard: beside the window's corner
        pt = {5, 5};
        ClientToScreen(Hwnd(), &pt);
    }
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, Hwnd(),
                   nullptr);
    DestroyMenu(menu);
}

LRESULT CDropWindow::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORDLG:
            return reinterpret_cast<LRESULT>(brush_);
        case WM_CTLCOLORSTATIC: {
            auto dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, DropTextColour(theme_, alarm_));
            SetBkColor(dc, theme_.background);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(brush_);
        }
        case WM_LBUTTONDOWN: {
            // Dragged by its body: the press becomes one on a caption. (The
            // labels let the mouse through, so this holds over them too.)
            POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
            ClientToScreen(Hwnd(), &pt);
            PostMessageW(Hwnd(), WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
            break;
        }
        case WM_LBUTTONDBLCLK:
            if (reports_.command) reports_.command(ID_SHOW_MAIN_WINDOW);
            return TRUE;
        case WM_RBUTTONDOWN:
            if (frame_ && IsWindowVisible(frame_)) {
                SetForegroundWindow(frame_);
                SetFocus(Hwnd());
            }
            break;
        case WM_CONTEXTMENU:
            ShowContextMenu(lp);
            return TRUE;
        case WM_INITMENUPOPUP:
            // The frame enables and checks its menus' items, this window's too.
            if (reports_.menuOpening) reports_.menuOpening(reinterpret_cast<HMENU>(wp));
            return TRUE;
        case WM_CLOSE:
            // Alt+F4 here asks the program to end; the window itself stays.
            if (reports_.closeRequested) reports_.closeRequested();
            return TRUE;
        case WM_DESTROY:
            SavePlacement();
            if (brush_) {
                DeleteObject(brush_);
                brush_ = nullptr;
            }
            break;
    }
    return Dialog::WndProc(msg, wp, lp);
}

}  // namespace hourlink
