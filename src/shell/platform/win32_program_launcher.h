// Starting the user's programs with CreateProcessW, and asking them to close
// by sending their top-level windows WM_CLOSE. Only processes started here
// are ever asked.
#pragma once

#include <windows.h>

#include "core/automation/program_list.h"

namespace hourlink {

class Win32ProgramLauncher final : public ProgramLauncher {
  public:
    Started Launch(const std::wstring& commandLine) override;
    void AskToClose(std::uintptr_t process) override;
    void Release(std::uintptr_t process) override;
};

}  // namespace hourlink
