#include "core/settings/app_paths.h"

namespace hourlink {

std::optional<std::wstring> ProgramDirectoryOf(std::wstring_view programPath) {
    const size_t slash = programPath.rfind(L'\\');
    if (slash == std::wstring_view::npos) return std::nullopt;
    return std::wstring(programPath.substr(0, slash + 1));
}

std::wstring HelpFilePathOf(std::wstring_view programPath) {
    // The directory always ends in its backslash; a root directory ("C:\") is no
    // exception, so no second one is added.
    std::wstring path = ProgramDirectoryOf(programPath).value_or(std::wstring());
    path += kHelpFileName;
    return path;
}

std::wstring ProgramBaseNameOf(std::wstring_view programPath) {
    // Both separators: a path may come with forward slashes, and a drive-relative
    // name ("C:Hourlink.exe") has only the colon.
    const size_t separator = programPath.find_last_of(L"\\/:");
    std::wstring_view name =
        separator == std::wstring_view::npos ? programPath : programPath.substr(separator + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring_view::npos && dot > 0) name = name.substr(0, dot);
    return std::wstring(name);
}

std::wstring StartupCommand(std::wstring_view directory) {
    while (!directory.empty() && directory.back() == L'\\') directory.remove_suffix(1);
    std::wstring program(directory);
    program += L'\\';
    program += kProgramFileName;
    if (program.find(L' ') != std::wstring::npos) program = L'"' + program + L'"';
    return program + L" hide";
}

bool HasArguments(std::wstring_view commandLine) {
    return commandLine.find_first_not_of(L" \t\r\n") != std::wstring_view::npos;
}

}  // namespace hourlink
