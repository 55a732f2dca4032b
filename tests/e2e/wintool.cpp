// A small Windows program the end-to-end scripts run beside Hourlink to look at
// its windows from outside, as a user would see them.
//
//   wintool wait-window TITLE [TIMEOUT_MS]  a visible top-level window titled TITLE
//   wintool wait-gone TITLE [TIMEOUT_MS]    no visible window titled TITLE any more
//   wintool close TITLE                     posts WM_CLOSE to it
//   wintool count TITLE                     prints how many top-level windows have it
//   wintool count-visible TITLE             prints how many of them are visible
//   wintool command TITLE ID                posts WM_COMMAND ID to the visible one
//
// Exit code 0 when the condition holds, 1 when it does not, 2 on bad usage.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::vector<HWND> TopLevelWindows(const std::wstring& title) {
    struct Search {
        const std::wstring* title;
        std::vector<HWND> found;
    } search{&title, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t text[512] = {};
            GetWindowTextW(hwnd, text, 512);
            if (*s->title == text) s->found.push_back(hwnd);
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
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: wintool wait-window|wait-gone|close|count TITLE [TIMEOUT_MS]\n");
        return 2;
    }
    const std::wstring command = argv[1];
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
    if (command == L"close") {
        HWND hwnd = VisibleWindow(title);
        if (!hwnd) return 1;
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr, "wintool: unknown command\n");
    return 2;
}
