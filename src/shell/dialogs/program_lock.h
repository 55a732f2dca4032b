// The program lock as the rest of the program asks it: whether it is in force,
// and the password before the options, the protection dialog and the exit. A
// locked program also hangs up at a limit without the cancellable countdown
// (the limit monitor asks IsProtected). Nothing is cached: every question
// reads the store.
#pragma once

#include <windows.h>

#include "core/lock/protection_store.h"

namespace hourlink {

class ProgramLock {
  public:
    // True while the protection flag is set.
    static bool IsProtected();
    // True to go on: the program is not locked, or the password entered is the
    // stored one. False when the question is cancelled or the password is
    // wrong; a wrong password shows no message, the action is just not taken.
    static bool AskPassword(HWND owner);
    // Command 1013 "密码保护本程序...": the password when locked, then the
    // protection dialog.
    static void OnProtectCommand(HWND owner);

    // Values in place of the registry key, for tests; null puts the key back.
    static void SetValuesForTesting(ProtectionValues* values);
};

}  // namespace hourlink
