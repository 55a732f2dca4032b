// The running program's file and what lies beside it: its folder (the default
// data folder and the HTML report's), its base name (the single-instance mutex
// and the main window's mark), and the help file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace hourlink {

// The running program file's full path; empty when it cannot be obtained.
std::wstring ProgramFilePath();
// Its directory, ending in a backslash; nothing when the path cannot be
// obtained or holds no backslash.
std::optional<std::wstring> ProgramDirectory();
// Whether a file can be created in `directory` (a probe made and deleted at
// once): not in "Program Files" for a standard user, nor in a folder that is
// gone or read-only.
bool CanWriteIn(const std::wstring& directory);
// %LOCALAPPDATA%, or empty.
std::wstring LocalAppDataDirectory();
// Its name without directory and extension ("Hourlink").
std::wstring ProgramBaseName();

// Command 57671: opens `helpFile` (by default Hourlink.chm beside the program) at
// its table of contents, owned by `owner`. Returns the help window; null when
// HTML Help is missing or the file cannot be shown.
HWND ShowHelpTopics(HWND owner, const std::wstring& helpFile = {});

}  // namespace hourlink
