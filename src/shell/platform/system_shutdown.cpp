#include "shell/platform/system_shutdown.h"

#include <mutex>
#include <utility>

namespace hourlink {

namespace {

std::mutex g_mutex;
ExitWindowsFunction g_exitWindows;

}  // namespace

std::uint32_t EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return GetLastError();
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    DWORD error = 0;
    if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
        error = GetLastError();
    } else {
        // Succeeds also when the privilege was not assigned; the last error
        // tells.
        SetLastError(0);
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        error = GetLastError();
    }
    CloseHandle(token);
    return error;
}

std::uint32_t ShutDownWindows(unsigned flags) {
    ExitWindowsFunction replacement;
    {
        std::lock_guard lock(g_mutex);
        replacement = g_exitWindows;
    }
    if (replacement) return replacement(flags);
    const DWORD reason =
        SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;
    return ExitWindowsEx(flags, reason) ? 0 : GetLastError();
}

void SetExitWindowsForTesting(ExitWindowsFunction function) {
    std::lock_guard lock(g_mutex);
    g_exitWindows = std::move(function);
}

}  // namespace hourlink
