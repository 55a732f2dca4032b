#include "shell/dialogs/program_lock.h"

#include "shell/dialogs/lock_dialogs.h"
#include "shell/platform/registry_protection_values.h"
#include "shell/win/exact_gbk.h"

namespace hourlink {

namespace {

ProtectionValues*& Replacement() {
    static ProtectionValues* values = nullptr;
    return values;
}

ProtectionValues& Values() {
    static RegistryProtectionValues registry;
    return Replacement() ? *Replacement() : registry;
}

}  // namespace

bool ProgramLock::IsProtected() {
    return ProtectionStore(Values()).IsProtected();
}

bool ProgramLock::AskPassword(HWND owner) {
    ProtectionStore store(Values());
    if (!store.IsProtected()) return true;
    PasswordEntryDialog dialog;
    if (dialog.DoModal(owner) != IDOK) return false;
    // A character GBK cannot hold is in no stored password.
    const auto password = win::WideToGbkExactly(dialog.Password());
    return password && store.PasswordMatches(*password);
}

void ProgramLock::OnProtectCommand(HWND owner) {
    if (!AskPassword(owner)) return;
    ProtectionStore store(Values());
    ProtectionSettingsDialog(store).DoModal(owner);
}

void ProgramLock::SetValuesForTesting(ProtectionValues* values) {
    Replacement() = values;
}

}  // namespace hourlink
