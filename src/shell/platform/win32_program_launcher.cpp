#include "shell/platform/win32_program_launcher.h"

#include <vector>

namespace hourlink {

ProgramLauncher::Started Win32ProgramLauncher::Launch(const std::wstring& commandLine) {
    // CreateProcessW may write into the command line: it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        return {GetLastError(), 0};
    }
    CloseHandle(info.hThread);
    return {0, reinterpret_cast<std::uintptr_t>(info.hProcess)};
}

void Win32ProgramLauncher::AskToClose(std::uintptr_t process) {
    const HANDLE handle = reinterpret_cast<HANDLE>(process);
    if (WaitForSingleObject(handle, 0) != WAIT_TIMEOUT) return;  // already ended
    DWORD id = GetProcessId(handle);
    if (id == 0) return;
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == static_cast<DWORD>(lp) && GetWindow(hwnd, GW_OWNER) == nullptr) {
                PostMessageW(hwnd, WM_CLOSE, 0, 0);
            }
            return TRUE;
        },
        static_cast<LPARAM>(id));
}

void Win32ProgramLauncher::Release(std::uintptr_t process) {
    CloseHandle(reinterpret_cast<HANDLE>(process));
}

}  // namespace hourlink
