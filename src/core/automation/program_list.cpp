#include "core/automation/program_list.h"

#include <cwchar>

#include "core/settings/settings.h"

namespace hourlink {

std::vector<std::wstring> SplitProgramList(std::wstring_view stored) {
    std::vector<std::wstring> paths;
    while (!stored.empty()) {
        const std::size_t comma = stored.find(L',');
        const std::wstring_view item = stored.substr(0, comma);
        if (!item.empty()) paths.emplace_back(item);
        if (comma == std::wstring_view::npos) break;
        stored.remove_prefix(comma + 1);
    }
    return paths;
}

std::wstring JoinProgramList(const std::vector<std::wstring>& paths) {
    std::wstring stored;
    for (const std::wstring& path : paths) {
        if (!stored.empty()) stored += L',';
        stored += path;
    }
    return stored;
}

std::optional<std::vector<std::wstring>> AddProgram(std::vector<std::wstring> paths,
                                                    const std::wstring& path) {
    if (path.find(L',') != std::wstring::npos) return std::nullopt;
    for (const std::wstring& listed : paths) {
        if (listed.find(path) != std::wstring::npos) return paths;
    }
    if (!path.empty()) paths.push_back(path);
    return paths;
}

std::wstring ProgramCommandLine(std::wstring_view path) {
    const bool quoted = !path.empty() && path.front() == L'"';
    if (quoted || path.find_first_of(L" \t") == std::wstring_view::npos) return std::wstring(path);
    return L'"' + std::wstring(path) + L'"';
}

ProgramStarter::ProgramStarter(SettingsStore& store, ProgramLauncher& launcher, Report report)
    : store_(store), launcher_(launcher), report_(std::move(report)) {}

ProgramStarter::~ProgramStarter() {
    for (std::uintptr_t process : started_) launcher_.Release(process);
}

void ProgramStarter::StartPrograms() {
    const auto paths = SplitProgramList(ReadSetting(store_, settings::kRunPrograms));
    for (const std::wstring& path : paths) {
        const ProgramLauncher::Started started = launcher_.Launch(ProgramCommandLine(path));
        if (started.error != 0) {
            wchar_t text[64];
            std::swprintf(text, 64, L"执行程序失败. Error Code:%u", started.error);
            if (report_) report_(text);
        }
        if (started.process != 0) {
            std::lock_guard lock(mutex_);
            started_.push_back(started.process);
        }
    }
}

void ProgramStarter::EndPrograms() {
    std::vector<std::uintptr_t> started;
    {
        std::lock_guard lock(mutex_);
        started.swap(started_);
    }
    const bool close = ReadSetting(store_, settings::kEndProgramsAtDisconnect) == 1;
    for (std::uintptr_t process : started) {
        if (close) launcher_.AskToClose(process);
        launcher_.Release(process);
    }
}

}  // namespace hourlink
