#include "shell/platform/phonebook_editor.h"

#include "shell/win/system_library.h"
#include "shell/win/text.h"

namespace hourlink {

namespace {

// RAS_MaxEntryName: the longest entry name RAS keeps.
constexpr std::size_t kMaxEntryName = 256;

using EditEntryFunction = DWORD(WINAPI*)(HWND, LPCWSTR, LPCWSTR);

}  // namespace

bool EditPhonebookEntry(HWND owner, const std::string& gbkEntryName) {
    if (gbkEntryName.empty()) return false;
    const std::wstring name = win::GbkToWide(gbkEntryName);
    if (name.empty() || name.size() > kMaxEntryName) return false;
    win::UseOle();  // the entry's property sheet may show the shell's pages
    HMODULE library = LoadLibraryW(L"rasapi32.dll");
    if (!library) return false;
    DWORD result = ERROR_PROC_NOT_FOUND;
    if (auto edit = reinterpret_cast<EditEntryFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, "RasEditPhonebookEntryW")))) {
        result = edit(owner, nullptr, name.c_str());  // null: the default phonebook
    }
    FreeLibrary(library);
    return result == ERROR_SUCCESS;
}

}  // namespace hourlink
