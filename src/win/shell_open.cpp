#include "win/shell_open.h"

#include <shellapi.h>

#include <utility>

namespace hourlink::win {

namespace {

ShellOpenFunction& Replacement() {
    static ShellOpenFunction function;
    return function;
}

}  // namespace

INT_PTR ShellOpen(HWND owner, const std::wstring& target, int showCommand) {
    if (const auto& replacement = Replacement()) return replacement(owner, target, showCommand);
    return reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, L"open", target.c_str(), nullptr, nullptr, showCommand));
}

void SetShellOpenForTesting(ShellOpenFunction function) {
    Replacement() = std::move(function);
}

}  // namespace hourlink::win
