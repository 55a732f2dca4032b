#include "tracker/main_frame.h"

#include "app/settings.h"
#include "res/resource.h"
#include "win/text.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace hourlink {

namespace {

constexpr wchar_t kClassName[] = L"Hourlink.MainFrame";

HICON LoadProgramIcon(int sizeMetricX, int sizeMetricY) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                         IMAGE_ICON, GetSystemMetrics(sizeMetricX),
                                         GetSystemMetrics(sizeMetricY), LR_SHARED));
}

}  // namespace

std::wstring CMainFrame::Title() {
    std::wstring title(win::Field(win::LoadResourceString(IDR_MAINFRAME), 0));
    return title.empty() ? L"Hourlink" : title;
}

bool CMainFrame::Create(SettingsStore& settings) {
    settings_ = &settings;
    win::WindowClass wc;
    wc.name = kClassName;
    wc.icon = LoadProgramIcon(SM_CXICON, SM_CYICON);
    wc.smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON);
    wc.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    const std::wstring title = Title();
    win::CreateArgs args;
    args.title = title.c_str();
    return win::Window::Create(wc, args);
}

LRESULT CMainFrame::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            OnCreate();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(*reinterpret_cast<const RECT*>(lp));
            return 0;
    }
    return Window::WndProc(msg, wp, lp);
}

// Creation: the month bar, status bar and drop window come first (not
// built yet); then the defaults of missing settings are written.
void CMainFrame::OnCreate() {
    translucent_ = NormalizeSettingsAtStartup(*settings_);
}

// Per-monitor DPI awareness (the manifest): take the size Windows suggests for
// the new monitor's scale.
void CMainFrame::OnDpiChanged(const RECT& suggested) {
    SetWindowPos(Hwnd(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace hourlink
