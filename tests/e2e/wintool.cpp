// A small Windows program the end-to-end scripts run beside Hourlink to look at
// its windows from outside, as a user would see them.
//
//   wintool wait-window TITLE [TIMEOUT_MS]  a visible top-level window titled TITLE
//   wintool wait-gone TITLE [TIMEOUT_MS]    no visible window titled TITLE any more
//   wintool close TITLE                     posts WM_CLOSE to it
//   wintool count TITLE                     prints how many top-level windows have it
//   wintool count-visible TITLE             prints how many of them are visible
//   wintool command TITLE ID                posts WM_COMMAND ID to the visible one
//   wintool post TITLE MSG WPARAM           posts message MSG (wParam WPARAM, both
//                                           decimal or 0x hex) to the visible one
//   wintool child-text TITLE CLASS [ID]     prints (UTF-8) the text of the first
//                                           descendant of class CLASS (with control
//                                           id ID) of the visible window TITLE that
//                                           is not a dialog box
//   wintool dialog-text TITLE [TIMEOUT_MS]  waits for a visible dialog box titled
//                                           TITLE and prints its static texts
//   wintool dialog-press TITLE ID           presses button ID (6 = IDYES, 7 = IDNO)
//                                           of the visible dialog box TITLE
//   wintool status-text TITLE PANE          prints (UTF-8) pane PANE of the status
//                                           bar of the visible window TITLE
//   wintool tray-has TITLE ID               whether the window TITLE (visible or
//                                           not) has notification icon ID
//   wintool tray-click                      a left click on the task bar's first
//                                           notification icon (its right end)
//
// Exit code 0 when the condition holds, 1 when it does not, 2 on bad usage.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The top-level windows titled `title`, or whose title begins with it.
std::vector<HWND> TopLevelWindows(const std::wstring& title, bool prefix = false) {
    struct Search {
        const std::wstring* title;
        bool prefix;
        std::vector<HWND> found;
    } search{&title, prefix, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t text[512] = {};
            GetWindowTextW(hwnd, text, 512);
            const std::wstring_view shown(text);
            if (s->prefix ? shown.starts_with(*s->title) : shown == *s->title) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND VisibleWindow(const std::wstring& title) {
    for (HWND hwnd : TopLevelWindows(title)) {
        if (IsWindowVisible(hwnd)) return hwnd;
    }
    return nullptr;
}

bool IsDialogBox(HWND hwnd) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    return std::wstring(cls) == L"#32770";
}

// The visible window titled `title` that is (or is not) a dialog box: a message
// box carries the same title as the main window it belongs to.
HWND VisibleWindowOfKind(const std::wstring& title, bool dialog) {
    for (HWND hwnd : TopLevelWindows(title)) {
        if (IsWindowVisible(hwnd) && IsDialogBox(hwnd) == dialog) return hwnd;
    }
    return nullptr;
}

std::wstring TextOf(HWND hwnd) {
    // WM_GETTEXT rather than GetWindowText: the controls belong to another process.
    const auto length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(wcslen(text.c_str()));
    return text;
}

void PrintUtf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fputc('\n', stdout);
}

// The first descendant of `parent` (depth first) of class `cls`, with control
// id `id` unless it is negative.
HWND FindDescendant(HWND parent, const std::wstring& cls, long id) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (_wcsicmp(name, cls.c_str()) == 0 && (id < 0 || GetDlgCtrlID(child) == id)) return child;
        if (HWND found = FindDescendant(child, cls, id)) return found;
    }
    return nullptr;
}

// A status bar's pane belongs to another process: its text is read through a
// buffer in that process.
std::wstring StatusPaneText(HWND bar, int pane) {
    DWORD pid = 0;
    GetWindowThreadProcessId(bar, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return {};
    constexpr SIZE_T kRoom = 1024 * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, kRoom, MEM_COMMIT, PAGE_READWRITE);
    std::wstring text;
    if (remote) {
        const auto length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, pane, 0));
        if (length < 1024) {
            SendMessageW(bar, SB_GETTEXTW, pane, reinterpret_cast<LPARAM>(remote));
            text.assign(length, L'\0');
            SIZE_T read = 0;
            ReadProcessMemory(process, remote, text.data(), length * sizeof(wchar_t), &read);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return text;
}

bool WaitFor(DWORD timeoutMs, bool wantVisible, const std::wstring& title) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND hwnd = VisibleWindow(title);
        if (wantVisible && hwnd) {
            RECT r{};
            GetWindowRect(hwnd, &r);
            std::printf("window %ld,%ld %ldx%ld\n", r.left, r.top, r.right - r.left,
                        r.bottom - r.top);
            return true;
        }
        if (!wantVisible && !hwnd) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(200);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"tray-click") {
        // The task bar draws its icons from the right end, each a small icon
        // with a 2-pixel border; the first is the rightmost.
        HWND bar = FindWindowW(L"Shell_TrayWnd", nullptr);
        RECT r{};
        if (!bar || !GetWindowRect(bar, &r)) return 1;
        const int x = r.right - (GetSystemMetrics(SM_CXSMICON) + 4) / 2;
        const int y = (r.top + r.bottom) / 2;
        INPUT input[3] = {};
        for (INPUT& i : input) i.type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input[0].mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        input[0].mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        for (INPUT& i : input) {
            SendInput(1, &i, sizeof i);
            Sleep(100);
        }
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: wintool wait-window|wait-gone|close|count TITLE [TIMEOUT_MS]\n");
        return 2;
    }
    const std::wstring title = argv[2];
    const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) : 20000;

    if (command == L"wait-window") return WaitFor(timeout, true, title) ? 0 : 1;
    if (command == L"wait-gone") return WaitFor(timeout, false, title) ? 0 : 1;
    if (command == L"count") {
        std::printf("%zu\n", TopLevelWindows(title).size());
        return 0;
    }
    if (command == L"count-visible") {
        size_t visible = 0;
        for (HWND hwnd : TopLevelWindows(title)) visible += IsWindowVisible(hwnd) ? 1 : 0;
        std::printf("%zu\n", visible);
        return 0;
    }
    if (command == L"command") {
        HWND hwnd = VisibleWindow(title);
        if (!hwnd || argc < 4) return argc < 4 ? 2 : 1;
        const auto id = static_cast<WORD>(std::wcstoul(argv[3], nullptr, 10));
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return 0;
    }
    if (command == L"post") {
        HWND hwnd = VisibleWindow(title);
        if (argc < 5) return 2;
        if (!hwnd) return 1;
        const auto message = static_cast<UINT>(std::wcstoul(argv[3], nullptr, 0));
        const auto wp = static_cast<WPARAM>(std::wcstoul(argv[4], nullptr, 0));
        return PostMessageW(hwnd, message, wp, 0) ? 0 : 1;
    }
    if (command == L"child-text") {
        if (argc < 4) return 2;
        HWND top = VisibleWindowOfKind(title, false);
        if (!top) return 1;
        const long id = argc > 4 ? static_cast<long>(std::wcstoul(argv[4], nullptr, 0)) : -1;
        HWND child = FindDescendant(top, argv[3], id);
        if (!child) return 1;
        PrintUtf8(TextOf(child));
        return 0;
    }
    // any-text TITLE CLASS ID [TEXT]: the text of the first control of CLASS
    // with ID (-1: any) in a visible window of whatever kind whose title begins
    // with TITLE (a setup program names its pages there), looked for up to
    // 20 s; with TEXT, sets it instead.
    if (command == L"any-text") {
        if (argc < 5) return 2;
        const long id = static_cast<long>(std::wcstol(argv[4], nullptr, 0));
        const DWORD start = GetTickCount();
        for (;;) {
            for (HWND top : TopLevelWindows(title, true)) {
                if (!IsWindowVisible(top)) continue;
                HWND child = FindDescendant(top, argv[3], id);
                if (!child) continue;
                if (argc > 5) {
                    SendMessageW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[5]));
                } else {
                    PrintUtf8(TextOf(child));
                }
                return 0;
            }
            if (GetTickCount() - start > 20000) return 1;
            Sleep(100);
        }
    }
    // any-press TITLE ID: clicks button ID of the visible window whose title
    // begins with TITLE.
    if (command == L"any-press") {
        if (argc < 4) return 2;
        const int id = static_cast<int>(std::wcstol(argv[3], nullptr, 0));
        for (HWND top : TopLevelWindows(title, true)) {
            HWND button = IsWindowVisible(top) ? GetDlgItem(top, id) : nullptr;
            if (!button) continue;
            PostMessageW(top, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
            return 0;
        }
        return 1;
    }
    if (command == L"dialog-text") {
        const DWORD start = GetTickCount();
        HWND box = nullptr;
        while (!(box = VisibleWindowOfKind(title, true)) && GetTickCount() - start < timeout) {
            Sleep(100);
        }
        if (!box) return 1;
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            if (_wcsicmp(name, L"Static") == 0) {
                const std::wstring text = TextOf(child);
                if (!text.empty()) PrintUtf8(text);
            }
        }
        return 0;
    }
    if (command == L"dialog-press") {
        if (argc < 4) return 2;
        HWND box = VisibleWindowOfKind(title, true);
        if (!box) return 1;
        const int id = static_cast<int>(std::wcstoul(argv[3], nullptr, 10));
        HWND button = GetDlgItem(box, id);
        if (!button) return 1;
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return 0;
    }
    if (command == L"status-text") {
        if (argc < 4) return 2;
        HWND top = VisibleWindowOfKind(title, false);
        HWND bar = top ? FindDescendant(top, STATUSCLASSNAMEW, -1) : nullptr;
        if (!bar) return 1;
        PrintUtf8(StatusPaneText(bar, static_cast<int>(std::wcstoul(argv[3], nullptr, 10))));
        return 0;
    }
    if (command == L"tray-has") {
        if (argc < 4) return 2;
        const auto windows = TopLevelWindows(title);
        // Changing nothing about an icon succeeds only while the shell has it.
        NOTIFYICONDATAW probe{};
        probe.cbSize = sizeof probe;
        probe.uID = static_cast<UINT>(std::wcstoul(argv[3], nullptr, 10));
        for (HWND hwnd : windows) {
            probe.hWnd = hwnd;
            if (Shell_NotifyIconW(NIM_MODIFY, &probe)) return 0;
        }
        return 1;
    }
    if (command == L"close") {
        HWND hwnd = VisibleWindow(title);
        if (!hwnd) return 1;
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr, "wintool: unknown command\n");
    return 2;
}
