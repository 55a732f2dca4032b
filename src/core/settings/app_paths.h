// Names and paths the application derives from the running program file's path
// and from its command line. Portable: the Windows side passes in what
// GetModuleFileNameW and wWinMain give it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hourlink {

// The program file's name as the start-with-Windows entry runs it.
inline constexpr std::wstring_view kProgramFileName = L"Hourlink.exe";
// The help file beside the program.
inline constexpr std::wstring_view kHelpFileName = L"Hourlink.chm";

// The directory of `programPath`, ending in a backslash ("C:\Tools\"); nothing
// when the path holds no backslash.
std::optional<std::wstring> ProgramDirectoryOf(std::wstring_view programPath);

// The help file beside `programPath`, with exactly one backslash before its
// name, also for a program in a drive's root. Without a directory in the path,
// the bare file name.
std::wstring HelpFilePathOf(std::wstring_view programPath);

// The program file's name without directory and extension ("Hourlink" for
// "C:\Tools\Hourlink.exe"). It names the single-instance mutex and the window
// property that marks the main window.
std::wstring ProgramBaseNameOf(std::wstring_view programPath);

// The command the start-with-Windows entry runs: the program in `directory`
// (with or without a trailing backslash) with the argument "hide", which starts
// it with its main window hidden. A directory with blanks is quoted, so Windows
// never tries to run a shorter path ("C:\Program.exe") first.
std::wstring StartupCommand(std::wstring_view directory);

// True when the text after the program name holds an argument. Any argument
// starts the program hidden; blanks alone are no argument.
bool HasArguments(std::wstring_view commandLine);

}  // namespace hourlink
