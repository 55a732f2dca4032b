// A program for the tests of the programs run after connecting: it writes the
// command line it was started with to command_line.txt beside itself (UTF-16),
// then waits with a hidden window until it is asked to close (WM_CLOSE), when
// it adds "|closed", or until 30 seconds have passed.
#include <windows.h>

#include <string>

namespace {

std::wstring g_file;

void Append(const std::wstring& text) {
    const HANDLE file = CreateFileW(g_file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CLOSE) {
        Append(L"|closed");
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    g_file = self;
    g_file = g_file.substr(0, g_file.find_last_of(L'\\') + 1) + L"command_line.txt";
    Append(GetCommandLineW());

    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"HourlinkCommandLineRecorder";
    RegisterClassW(&wc);
    CreateWindowW(wc.lpszClassName, L"recorder", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                  nullptr, instance, nullptr);
    SetTimer(nullptr, 0, 30000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) break;
        DispatchMessageW(&msg);
    }
    return 0;
}
