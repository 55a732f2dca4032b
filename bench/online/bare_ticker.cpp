// The least a per-second online display can cost under the same Wine: the
// online benchmark's floor for one tick. A small topmost tool window with two
// labels, like Hourlink's floating window; once a second a timer reads one
// interface's counters by its LUID and sets the elapsed time and the bytes
// received as the labels' texts. Nothing else: no records, no settings, no
// tray icon. The interface is the first one up that is not the loopback, as
// the table lists them at start.
#include <winsock2.h>
// The Windows headers that need <winsock2.h> first (the interface rows of
// the second version come with <ws2tcpip.h>):
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>

#include <cwchar>

namespace {

constexpr UINT_PTR kTick = 1;
HWND g_elapsed = nullptr;
HWND g_received = nullptr;
NET_LUID g_luid{};
DWORD g_started = 0;

bool FindInterface() {
    MIB_IF_TABLE2* table = nullptr;
    if (GetIfTable2(&table) != NO_ERROR) return false;
    bool found = false;
    for (ULONG i = 0; i < table->NumEntries && !found; ++i) {
        const MIB_IF_ROW2& row = table->Table[i];
        if (row.Type != IF_TYPE_SOFTWARE_LOOPBACK && row.OperStatus == IfOperStatusUp) {
            g_luid = row.InterfaceLuid;
            found = true;
        }
    }
    FreeMibTable(table);
    return found;
}

void Tick() {
    MIB_IF_ROW2 row{};
    row.InterfaceLuid = g_luid;
    wchar_t text[64];
    if (GetIfEntry2(&row) == NO_ERROR) {
        std::swprintf(text, 64, L"下载: %llu", static_cast<unsigned long long>(row.InOctets));
        SetWindowTextW(g_received, text);
    }
    const DWORD seconds = (GetTickCount() - g_started) / 1000;
    std::swprintf(text, 64, L"%lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    SetWindowTextW(g_elapsed, text);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER:
            Tick();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND Label(HWND parent, int y) {
    HWND label = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 8, y, 200, 18,
                                 parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return label;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (!FindInterface()) return 2;
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"Hourlink.BareTicker";
    if (!RegisterClassW(&wc)) return 1;
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName,
                                  L"Hourlink ticker", WS_POPUP | WS_CAPTION | WS_VISIBLE, 700, 600,
                                  220, 70, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    g_elapsed = Label(window, 4);
    g_received = Label(window, 24);
    g_started = GetTickCount();
    if (!SetTimer(window, kTick, 1000, nullptr)) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
