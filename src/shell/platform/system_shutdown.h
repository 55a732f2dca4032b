// Shutting Windows down: the shutdown privilege of this process, and
// ExitWindowsEx behind a function the tests replace, so no test ever shuts
// the machine down.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>

namespace hourlink {

// Enables SeShutdownPrivilege in this process's token: 0, or the system's
// error code (also ERROR_NOT_ALL_ASSIGNED when the token does not hold it).
std::uint32_t EnableShutdownPrivilege();

// ExitWindowsEx with `flags` (a planned shutdown): 0, or the system's error
// code. Goes to the function installed by SetExitWindowsForTesting when there
// is one.
std::uint32_t ShutDownWindows(unsigned flags);

using ExitWindowsFunction = std::function<std::uint32_t(unsigned flags)>;
// An empty function puts the system's back.
void SetExitWindowsForTesting(ExitWindowsFunction function);

}  // namespace hourlink
