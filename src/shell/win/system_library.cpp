#include "shell/win/system_library.h"

#include <string>

namespace hourlink::win {

HMODULE LoadSystemLibrary(const wchar_t* library) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + library;
    return LoadLibraryW(path.c_str());
}

namespace {

// Set by the first successful OleInitialize.
bool oleStarted = false;

}  // namespace

bool UseOle() {
    if (oleStarted) return true;
    using OleInitializeFn = HRESULT(WINAPI*)(LPVOID);
    static const auto start = SystemFunction<OleInitializeFn>(L"ole32.dll", "OleInitialize");
    oleStarted = start && SUCCEEDED(start(nullptr));
    return oleStarted;
}

void EndOle() {
    if (!oleStarted) return;
    using OleUninitializeFn = void(WINAPI*)();
    if (const auto end = SystemFunction<OleUninitializeFn>(L"ole32.dll", "OleUninitialize")) end();
    oleStarted = false;
}

}  // namespace hourlink::win
