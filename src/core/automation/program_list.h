// The user's programs started after every connect: the list kept in
// RunProg/path as the paths joined by ",", the rules of the list dialog, and
// the starting itself (on the watcher thread, through a launcher seam).
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/settings_store.h"

namespace hourlink {

// The paths of a stored list, in order. Empty items (",," or a trailing ",")
// are no programs and are left out.
std::vector<std::wstring> SplitProgramList(std::wstring_view stored);
// The stored form of a list of paths.
std::wstring JoinProgramList(const std::vector<std::wstring>& paths);

// Paths are joined by commas, so a path with one cannot be kept.
inline constexpr std::wstring_view kCommaInProgramPath = L"程序路径中含有逗号(,)，不能加入列表：\n";

// The list after adding `path`. The list is unchanged when a listed path
// already contains it; nothing when the path contains a comma.
std::optional<std::vector<std::wstring>> AddProgram(std::vector<std::wstring> paths,
                                                    const std::wstring& path);

// The command line a listed path is started with: a path with blanks that is
// not quoted yet is quoted, so the system never guesses where it ends.
std::wstring ProgramCommandLine(std::wstring_view path);

// Starts processes; the Windows one calls CreateProcessW.
class ProgramLauncher {
  public:
    virtual ~ProgramLauncher() = default;
    struct Started {
        std::uint32_t error = 0;     // 0, or the system's error code
        std::uintptr_t process = 0;  // a handle to keep, 0 when none
    };
    virtual Started Launch(const std::wstring& commandLine) = 0;
    // Asks a process started here to close (its windows are sent WM_CLOSE).
    virtual void AskToClose(std::uintptr_t process) = 0;
    // Forgets a process started here (closes the handle).
    virtual void Release(std::uintptr_t process) = 0;
};

// The watcher thread's part: starts the listed programs at a connect and,
// when the user asked for it, asks those it started to close at the
// disconnect. No other process is ever touched.
class ProgramStarter {
  public:
    // `report` gets each failure's text, "执行程序失败. Error Code:%u".
    using Report = std::function<void(std::wstring text)>;

    ProgramStarter(SettingsStore& store, ProgramLauncher& launcher, Report report);
    ~ProgramStarter();

    void StartPrograms();
    void EndPrograms();

  private:
    SettingsStore& store_;
    ProgramLauncher& launcher_;
    Report report_;
    std::mutex mutex_;
    std::vector<std::uintptr_t> started_;
};

}  // namespace hourlink
