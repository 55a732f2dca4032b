#include "shell/widgets/link_label.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "shell/win/shell_open.h"

namespace hourlink::widgets {

namespace {

constexpr UINT_PTR kToolId = 1;

CLinkLabel::CommandStarter& Starter() {
    static CLinkLabel::CommandStarter starter;
    return starter;
}

INT_PTR StartCommand(const std::wstring& commandLine, int showCommand) {
    if (const auto& starter = Starter()) return starter(commandLine, showCommand);
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        // The numbers a program start reports at or below 32; an executable of
        // the wrong kind reads as a bad format, anything else as out of resources.
        const DWORD error = GetLastError();
        if (error == ERROR_BAD_EXE_FORMAT) return ERROR_BAD_FORMAT;
        return error <= 32 ? static_cast<INT_PTR>(error) : 0;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 33;
}

// The default value of HKEY_CLASSES_ROOT\`subkey`.
bool ReadClassesDefault(const std::wstring& subkey, std::wstring& value) {
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CLASSES_ROOT, subkey.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                     text.data(), &bytes) != ERROR_SUCCESS) {
        return false;
    }
    text.resize(wcsnlen(text.c_str(), text.size()));
    value = std::move(text);
    return true;
}

}  // namespace

CLinkLabel::~CLinkLabel() {
    if (toolTip_) DestroyWindow(toolTip_);
    // A label that outlives this object goes back to its own font before the
    // link font is freed.
    if (Hwnd() && font_)
        SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(originalFont_), FALSE);
}

void CLinkLabel::SetTarget(std::wstring target) {
    target_ = std::move(target);
    if (!Hwnd()) return;
    FitToText();
    UpdateToolTip();
}

bool CLinkLabel::SubclassStatic(HWND label) {
    if (!label || !Attach(label)) return false;
    SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
    if (target_.empty()) target_ = Text();
    if (Text().empty()) SetText(target_);

    originalFont_ = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    LOGFONTW lf{};
    if (!originalFont_ || !GetObjectW(originalFont_, sizeof lf, &lf)) {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    }
    lf.lfUnderline = underline_ ? TRUE : FALSE;
    font_.Reset(CreateFontIndirectW(&lf));
    if (font_) SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);

    FitToText();
    LoadLinkCursor();
    CreateToolTip();
    return true;
}

COLORREF CLinkLabel::TextColour() const {
    if (overLink_) return hoverColour_;
    return visited_ ? kVisitedColour : kLinkColour;
}

INT_PTR CLinkLabel::OpenTarget(HWND owner, const std::wstring& target, int showCommand) {
    const INT_PTR result = win::ShellOpen(owner, target, showCommand);
    if (result > 32) return result;
    // The shell could not: try the program that opens web pages.
    std::wstring type;
    std::wstring command;
    if (!ReadClassesDefault(L".htm", type) ||
        !ReadClassesDefault(type + L"\\shell\\open\\command", command)) {
        return result;
    }
    return StartCommand(BrowserCommandLine(command, target), showCommand);
}

std::wstring CLinkLabel::BrowserCommandLine(const std::wstring& command,
                                            const std::wstring& target) {
    std::wstring line = command;
    size_t cut = line.find(L"\"%1\"");
    if (cut == std::wstring::npos) cut = line.find(L"%1");
    if (cut != std::wstring::npos) line.resize(cut);
    return line + L" " + target;
}

std::wstring CLinkLabel::ErrorText(INT_PTR code) {
    switch (code) {
        case 0:
            return L"The operating system is out\nof memory or resources.";
        case SE_ERR_FNF:
            return L"The specified file was not found.";
        case SE_ERR_PNF:
            return L"The specified path was not found.";
        case SE_ERR_ACCESSDENIED:
            return L"The operating system denied\naccess to the specified file.";
        case SE_ERR_OOM:
            return L"There was not enough memory to complete the operation.";
        case ERROR_BAD_FORMAT:
            return L"The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        case SE_ERR_SHARE:
            return L"A sharing violation occurred. ";
        case SE_ERR_ASSOCINCOMPLETE:
            return L"The filename association is\nincomplete or invalid.";
        case SE_ERR_DDETIMEOUT:
            return L"The DDE transaction could not\nbe completed because the request timed out.";
        case SE_ERR_DDEFAIL:
            return L"The DDE transaction failed.";
        case SE_ERR_DDEBUSY:
            return L"The DDE transaction could not\nbe completed because other DDE "
                   L"transactions\nwere being processed.";
        case SE_ERR_NOASSOC:
            return L"There is no application associated\nwith the given filename extension.";
        case SE_ERR_DLLNOTFOUND:
            return L"The specified dynamic-link library was not found.";
        default:
            return L"Unknown Error (" + std::to_wstring(static_cast<int>(code)) + L") occurred.";
    }
}

void CLinkLabel::SetCommandStarterForTesting(CommandStarter starter) {
    Starter() = std::move(starter);
}

LRESULT CLinkLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    if (toolTip_ && msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
        MSG relayed{Hwnd(), msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
        const DWORD pos = GetMessagePos();
        relayed.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
        SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    switch (msg) {
        case WM_MOUSEMOVE: {
            const POINT p = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
            if (!overLink_) {
                overLink_ = true;
                Repaint();
                SetCapture(Hwnd());
            } else {
                RECT client{};
                GetClientRect(Hwnd(), &client);
                if (!PtInRect(&client, p)) {
                    overLink_ = false;
                    ReleaseCapture();
                    Repaint();
                }
            }
            break;
        }
        case WM_CAPTURECHANGED:
            // Capture taken by someone else (a message box, the browser): the
            // mouse is no longer known to be over the link.
            if (overLink_ && reinterpret_cast<HWND>(lp) != Hwnd()) {
                overLink_ = false;
                Repaint();
            }
            break;
        case WM_SETCURSOR:
            if (cursor_) {
                SetCursor(cursor_.Get());
                return TRUE;
            }
            break;
        case WM_DESTROY:
            if (toolTip_) {
                DestroyWindow(toolTip_);
                toolTip_ = nullptr;
            }
            break;
    }
    return Window::WndProc(msg, wp, lp);
}

bool CLinkLabel::OnReflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    switch (msg) {
        case WM_COMMAND:
            if (HIWORD(wp) != STN_CLICKED) return false;
            Open();
            result = 0;
            return true;
        case WM_CTLCOLORSTATIC: {
            auto dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, TextColour());
            SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
            return true;
        }
    }
    return false;
}

void CLinkLabel::Open() {
    HWND owner = GetParent(Hwnd());
    const INT_PTR result = OpenTarget(owner, target_, SW_SHOWNORMAL);
    if (result > 32) {
        visited_ = true;
        Repaint();
        return;
    }
    MessageBeep(MB_ICONEXCLAMATION);
    const std::wstring text = L"Unable to open hyperlink:\n\n" + ErrorText(result);
    MessageBoxW(owner, text.c_str(), L"Hourlink", MB_OK | MB_ICONEXCLAMATION);
}

void CLinkLabel::Repaint() {
    // The label draws on a hollow brush: the parent paints the background under
    // it first, so the old colour does not show through.
    HWND parent = GetParent(Hwnd());
    if (!parent) {
        InvalidateRect(Hwnd(), nullptr, TRUE);
        return;
    }
    RECT r{};
    GetWindowRect(Hwnd(), &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    RedrawWindow(parent, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CLinkLabel::FitToText() {
    if (!adjustToFit_) return;
    const std::wstring text = Text();
    const LONG_PTR style = GetWindowLongPtrW(Hwnd(), GWL_STYLE);
    RECT extent = {0, 0, 0, 0};
    HDC dc = GetDC(Hwnd());
    {
        HFONT font =
            font_ ? font_.Get() : reinterpret_cast<HFONT>(SendMessageW(Hwnd(), WM_GETFONT, 0, 0));
        Selection selected(dc, font);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &extent,
                  DT_CALCRECT | DT_SINGLELINE | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
    }
    ReleaseDC(Hwnd(), dc);
    const int width = extent.right - extent.left;
    const int height = extent.bottom - extent.top;

    RECT r{};
    GetWindowRect(Hwnd(), &r);
    if (HWND parent = GetParent(Hwnd())) {
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    }
    const int top = (style & SS_CENTERIMAGE) ? (r.top + r.bottom) / 2 - height / 2 : r.top;
    int left = r.left;
    switch (style & SS_TYPEMASK) {
        case SS_CENTER:
            left = (r.left + r.right) / 2 - width / 2;
            break;
        case SS_RIGHT:
            left = r.right - width;
            break;
    }
    SetWindowPos(Hwnd(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CLinkLabel::LoadLinkCursor() {
    // The help program's hand, as links showed it before the system had one.
    const UINT length = GetWindowsDirectoryW(nullptr, 0);
    std::wstring path(length, L'\0');
    if (length && GetWindowsDirectoryW(path.data(), length) < length) {
        path.resize(wcsnlen(path.c_str(), path.size()));
        path += L"\\winhlp32.exe";
        if (HMODULE help = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
            if (HCURSOR hand = LoadCursorW(help, MAKEINTRESOURCEW(106))) {
                cursor_.Reset(CopyCursor(hand));
            }
            FreeLibrary(help);
        }
    }
    // Systems without that program have a hand of their own.
    if (!cursor_) {
        if (HCURSOR hand = LoadCursorW(nullptr, IDC_HAND)) cursor_.Reset(CopyCursor(hand));
    }
}

void CLinkLabel::CreateToolTip() {
    toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!toolTip_) return;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = Hwnd();
    tool.uId = kToolId;
    GetClientRect(Hwnd(), &tool.rect);
    tool.lpszText = target_.data();
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CLinkLabel::UpdateToolTip() {
    if (!toolTip_) return;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = Hwnd();
    tool.uId = kToolId;
    GetClientRect(Hwnd(), &tool.rect);
    SendMessageW(toolTip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = target_.data();
    SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace hourlink::widgets
