// A stand-in for the PPPoE client program, written for the tests from what
// Hourlink looks for: a window titled with the client's name whose buttons
// connect and exit, and while connected a window titled "Connected to ..."
// whose button disconnects. Every button pressed is written, one per line in
// UTF-8, to "pressed.log" beside the program.
#include <windows.h>

#include <string>

namespace {

HWND g_connected = nullptr;

void Record(const wchar_t* text) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, n);
    file = file.substr(0, file.rfind(L'\\') + 1) + L"pressed.log";
    char utf8[256];
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, utf8, static_cast<DWORD>(bytes - 1), &written, nullptr);
    WriteFile(h, "\n", 1, &written, nullptr);
    CloseHandle(h);
}

HWND Button(HWND parent, const wchar_t* text, int id, int y) {
    return CreateWindowExW(0, L"BUTTON", text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, y, 160,
                           24, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                           nullptr);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
        wchar_t text[64] = {};
        GetWindowTextW(reinterpret_cast<HWND>(lp), text, 64);
        Record(text);
        switch (LOWORD(wp)) {
            case 2:  // 连接
                if (!g_connected) {
                    g_connected = CreateWindowExW(0, L"FakeEnterNet", L"Connected to 测试宽带",
                                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 10, 200,
                                                  80, nullptr, nullptr, nullptr, nullptr);
                    Button(g_connected, L"Disconnect", 4, 10);
                }
                break;
            case 3:  // 退出
                PostQuitMessage(0);
                break;
            case 4:  // Disconnect
                DestroyWindow(hwnd);
                g_connected = nullptr;
                break;
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"FakeEnterNet";
    RegisterClassW(&wc);
    HWND main = CreateWindowExW(0, L"FakeEnterNet", L"北京宽带通 EnterNet",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 140, nullptr,
                                nullptr, instance, nullptr);
    // "Connect..." comes first and must never be taken for "Connect".
    Button(main, L"Connect...", 1, 10);
    Button(main, L"连接", 2, 40);
    Button(main, L"退出", 3, 70);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
