#include "shell/platform/startup_entry.h"

#include "core/settings/app_paths.h"

namespace hourlink {

namespace {

bool WriteCommand(HKEY root, const std::wstring& command) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, StartupEntry::kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // The byte count includes the terminating NUL.
    const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
    const bool written =
        RegSetValueExW(key, StartupEntry::kValueName, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(command.c_str()), bytes) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool DeleteCommand(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, StartupEntry::kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool deleted = RegDeleteValueW(key, StartupEntry::kValueName) == ERROR_SUCCESS;
    RegCloseKey(key);
    return deleted;
}

}  // namespace

StartupEntry::StartupEntry(std::wstring programDirectory, RunKeyRoots roots)
    : programDirectory_(std::move(programDirectory)), roots_(roots) {}

std::wstring StartupEntry::Command() {
    // The program's own folder: the records may be kept elsewhere (the
    // Directory setting), the program is not.
    return StartupCommand(programDirectory_);
}

int StartupEntry::Set(HWND owner) {
    const std::wstring command = Command();
    if (WriteCommand(roots_.machine, command)) {
        // A per-user entry left from a start without the right to write for the
        // machine would start a second copy at log-on, which brings the first
        // one's hidden window forward.
        DeleteCommand(roots_.user);
        return 1;
    }
    if (WriteCommand(roots_.user, command)) return 1;
    const std::wstring text = L"Failed to set at startup";
    if (report_) {
        report_(text);
    } else {
        MessageBoxW(owner, text.c_str(), L"Hourlink", MB_OK | MB_ICONEXCLAMATION);
    }
    return 0;
}

int StartupEntry::Delete(const Log& log) {
    // Both, not the first that has it: an entry for the machine and one for
    // the user would each start the program.
    const bool machine = DeleteCommand(roots_.machine);
    const bool user = DeleteCommand(roots_.user);
    if (machine || user) return 1;
    if (log) log(L"Failed to Delete startup\r\n");
    return 0;
}

}  // namespace hourlink
