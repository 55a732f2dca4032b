#include "shell/win/shell_open.h"

#include <shellapi.h>

#include <utility>

#include "shell/win/system_library.h"

namespace hourlink::win {

namespace {

ShellOpenFunction& Replacement() {
    static ShellOpenFunction function;
    return function;
}

}  // namespace

INT_PTR ShellOpen(HWND owner, const std::wstring& target, int showCommand) {
    if (const auto& replacement = Replacement()) return replacement(owner, target, showCommand);
    // Looked up at the first use: the shell's DLL is not needed at start-up.
    static const auto execute =
        SystemFunction<decltype(&ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
    if (!execute) return SE_ERR_DLLNOTFOUND;
    // The shell may hand the document to a COM extension.
    UseOle();
    return reinterpret_cast<INT_PTR>(
        execute(owner, L"open", target.c_str(), nullptr, nullptr, showCommand));
}

void SetShellOpenForTesting(ShellOpenFunction function) {
    Replacement() = std::move(function);
}

}  // namespace hourlink::win
