#include "shell/platform/program_file.h"

// The Windows headers that need <windows.h> first:
#include <htmlhelp.h>

#include <vector>

#include "core/base/file_system.h"
#include "core/settings/app_paths.h"
#include "shell/win/system_library.h"

namespace hourlink {

std::wstring ProgramFilePath() {
    // Long paths: grow the buffer until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::wstring> ProgramDirectory() {
    return ProgramDirectoryOf(ProgramFilePath());
}

bool CanWriteIn(const std::wstring& directory) {
    if (directory.empty()) return false;
    const std::wstring probe = JoinPath(directory, L"hourlink-write-test.tmp");
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

std::wstring LocalAppDataDirectory() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

std::wstring ProgramBaseName() {
    return ProgramBaseNameOf(ProgramFilePath());
}

HWND ShowHelpTopics(HWND owner, const std::wstring& helpFile) {
    using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
    // Loaded once and kept: the help window lives in this process and runs the
    // control's code until the program ends.
    static HtmlHelpFn htmlHelp = [] {
        HMODULE module = LoadLibraryW(L"hhctrl.ocx");
        return module ? reinterpret_cast<HtmlHelpFn>(
                            reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")))
                      : nullptr;
    }();
    if (!htmlHelp) return nullptr;
    win::UseOle();  // the help window is a browser control
    const std::wstring path = helpFile.empty() ? HelpFilePathOf(ProgramFilePath()) : helpFile;
    return htmlHelp(owner, path.c_str(), HH_DISPLAY_TOC, 0);
}

}  // namespace hourlink
