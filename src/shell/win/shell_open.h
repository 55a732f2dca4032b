// Opening a file or a web address with the shell's "open" verb. Everything the
// program hands to the shell (the HTML report, the About box's links) goes
// through ShellOpen, so tests can put a recorder in its place and never start
// a browser.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace hourlink::win {

// What ShellExecute returns: a value above 32 is success, anything else the
// shell's or the system's error number.
using ShellOpenFunction =
    std::function<INT_PTR(HWND owner, const std::wstring& target, int showCommand)>;

// Opens `target` with the "open" verb and `showCommand` (SW_SHOWNORMAL for a
// page), through the function installed by SetShellOpenForTesting when there
// is one.
INT_PTR ShellOpen(HWND owner, const std::wstring& target, int showCommand = SW_SHOWNORMAL);

// Replaces the shell for the tests; an empty function puts the shell back.
void SetShellOpenForTesting(ShellOpenFunction function);

}  // namespace hourlink::win
