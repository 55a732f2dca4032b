// Whether the texts of a window's controls fit them, each measured with the
// control's own font (WM_GETFONT): static texts, buttons, check boxes, group
// boxes, month pickers and status bar panes. For the tests at several DPIs.
#pragma once

#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <string>
#include <vector>

#include "shell/win/dpi.h"

namespace hourlink::test {

inline std::wstring WindowTextOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The rectangle `text` needs in `hwnd`'s font: one line, or lines broken at
// `wrapWidth` when it is positive.
inline SIZE TextNeeds(HWND hwnd, HFONT font, const std::wstring& text, UINT flags, int wrapWidth) {
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
    RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | flags | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return {r.right - r.left, r.bottom - r.top};
}

inline HFONT FontOf(HWND hwnd) {
    return reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
}

// One line per text that does not fit among `root`'s visible descendants.
inline std::vector<std::string> TextsThatDoNotFit(HWND root, int dpi) {
    struct Walk {
        int dpi;
        std::vector<std::string> faults;
    } walk{dpi, {}};
    EnumChildWindows(
        root,
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto& w = *reinterpret_cast<Walk*>(lp);
            if (!IsWindowVisible(hwnd)) return TRUE;
            wchar_t cls[64]{};
            GetClassNameW(hwnd, cls, 64);
            const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
            RECT client{};
            GetClientRect(hwnd, &client);
            const auto report = [&](const std::wstring& text, int needed, int room) {
                if (needed <= room) return;
                std::string utf8(text.size() * 3 + 1, '\0');
                utf8.resize(static_cast<size_t>(WideCharToMultiByte(
                    CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                    static_cast<int>(utf8.size()), nullptr, nullptr)));
                char line[512];
                snprintf(line, sizeof line, "%ls %d \"%s\": needs %d, has %d", cls,
                         GetDlgCtrlID(hwnd), utf8.c_str(), needed, room);
                w.faults.push_back(line);
            };
            const HFONT font = FontOf(hwnd);
            const std::wstring text = WindowTextOf(hwnd);
            if (_wcsicmp(cls, L"Static") == 0 && !text.empty()) {
                const LONG type = style & SS_TYPEMASK;
                if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_SIMPLE &&
                    type != SS_LEFTNOWORDWRAP) {
                    return TRUE;
                }
                const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
                if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP || (style & SS_CENTERIMAGE)) {
                    report(text, TextNeeds(hwnd, font, text, prefix, 0).cx, client.right);
                } else {
                    const SIZE needs = TextNeeds(hwnd, font, text, prefix, client.right);
                    report(text, needs.cx, client.right);
                    report(text + L" (height)", needs.cy, client.bottom);
                }
            } else if (_wcsicmp(cls, L"Button") == 0 && !text.empty()) {
                const LONG type = style & BS_TYPEMASK;
                const int line = TextNeeds(hwnd, font, text, 0, 0).cx;
                switch (type) {
                    case BS_CHECKBOX:
                    case BS_AUTOCHECKBOX:
                    case BS_RADIOBUTTON:
                    case BS_AUTORADIOBUTTON:
                    case BS_3STATE:
                    case BS_AUTO3STATE:
                        // The box and the gap before the text.
                        report(text, line + win::Scale(16, w.dpi) + 1, client.right);
                        break;
                    case BS_GROUPBOX:
                        report(text, line + win::Scale(10, w.dpi), client.right);
                        break;
                    default:
                        report(text, line + win::Scale(4, w.dpi), client.right);
                }
            } else if (_wcsicmp(cls, DATETIMEPICK_CLASSW) == 0) {
                // The month's text beside the up-down arrows.
                SYSTEMTIME st{};
                SendMessageW(hwnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
                wchar_t month[32];
                swprintf(month, 32, L"%04u年%02u月", st.wYear, st.wMonth);
                int room = client.right - win::Scale(4, w.dpi);
                if (HWND arrows = FindWindowExW(hwnd, nullptr, UPDOWN_CLASSW, nullptr)) {
                    RECT r{};
                    GetWindowRect(arrows, &r);
                    room -= r.right - r.left;
                }
                report(month, TextNeeds(hwnd, font, month, 0, 0).cx, room);
            } else if (_wcsicmp(cls, STATUSCLASSNAMEW) == 0) {
                const int parts = static_cast<int>(SendMessageW(hwnd, SB_GETPARTS, 0, 0));
                for (int i = 0; i < parts; ++i) {
                    const auto length = LOWORD(SendMessageW(hwnd, SB_GETTEXTLENGTHW, i, 0));
                    std::wstring pane(length + 1, L'\0');
                    SendMessageW(hwnd, SB_GETTEXTW, i, reinterpret_cast<LPARAM>(pane.data()));
                    pane.resize(length);
                    if (pane.find_first_not_of(L' ') == std::wstring::npos) continue;
                    RECT r{};
                    SendMessageW(hwnd, SB_GETRECT, i, reinterpret_cast<LPARAM>(&r));
                    report(pane, TextNeeds(hwnd, font, pane, DT_NOPREFIX, 0).cx,
                           r.right - r.left - win::Scale(4, w.dpi));
                }
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.faults;
}

}  // namespace hourlink::test
