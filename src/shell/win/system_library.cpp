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

}  // namespace hourlink::win
