// Starts a program and measures its start-up: the time from the start of the
// process to its first visible top-level window with a caption, and, SETTLE_MS
// after that, its working set (resident memory), peak working set and private
// bytes. Then it ends the program.
//
//   startup_probe SETTLE_MS PROGRAM [ARGUMENTS]
//
// Prints one line: "visible_ms=... working_set_kib=... peak_kib=... private_kib=...".
// Exit code 0, or 1 when the program could not be started or showed no window
// within 60 s.
#include <windows.h>
// The Windows headers that need <windows.h> first:
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK FindShownWindow(HWND hwnd, LPARAM lp) {
    auto* search = reinterpret_cast<Search*>(lp);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    if (process == search->process && IsWindowVisible(hwnd) && (style & WS_CAPTION) == WS_CAPTION) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: startup_probe SETTLE_MS PROGRAM [ARGUMENTS]\n");
        return 2;
    }
    const DWORD settle = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    for (int i = 3; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER started, shown;
    QueryPerformanceCounter(&started);
    if (!CreateProcessW(argv[2], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fwprintf(stderr, L"startup_probe: cannot start %ls: %lu\n", argv[2], GetLastError());
        return 1;
    }
    Search search{process.dwProcessId, nullptr};
    for (;;) {
        EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&search));
        QueryPerformanceCounter(&shown);
        if (search.found || Milliseconds(started, shown) > 60000) break;
        if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
    }
    int result = 1;
    if (search.found) {
        Sleep(settle);
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory);
        std::printf("visible_ms=%.1f working_set_kib=%zu peak_kib=%zu private_kib=%zu\n",
                    Milliseconds(started, shown), memory.WorkingSetSize / 1024,
                    memory.PeakWorkingSetSize / 1024, memory.PrivateUsage / 1024);
        result = 0;
    } else {
        std::fwprintf(stderr, L"startup_probe: %ls showed no window\n", argv[2]);
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}
