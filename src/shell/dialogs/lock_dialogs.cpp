#include "shell/dialogs/lock_dialogs.h"

#include "res/lock_res.h"
#include "shell/win/exact_gbk.h"

namespace hourlink {

bool GbkLimitedEdit::Limit(HWND edit) {
    if (!Attach(edit)) return false;
    // No character takes less than a byte: the control's own limit cuts a
    // long paste first.
    SendMessageW(edit, EM_LIMITTEXT, maxBytes_, 0);
    accepted_ = Text();
    return true;
}

bool GbkLimitedEdit::OnReflected(UINT msg, WPARAM wp, LPARAM, LRESULT&) {
    if (msg != WM_COMMAND || HIWORD(wp) != EN_CHANGE || reverting_) return false;
    const std::wstring text = Text();
    if (win::GbkByteCount(text) <= maxBytes_) {
        accepted_ = text;
        SendMessageW(Hwnd(), EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret_));
        return false;
    }
    reverting_ = true;
    SetText(accepted_);
    SendMessageW(Hwnd(), EM_SETSEL, caret_, caret_);
    reverting_ = false;
    MessageBeep(MB_OK);
    return true;
}

PasswordEntryDialog::PasswordEntryDialog() : Dialog(IDD_PASSWORD_ENTRY) {}

bool PasswordEntryDialog::OnInitDialog() {
    edit_.Limit(Item(IDC_LOCK_PASSWORD));
    // Asked for from the tray, with the main window hidden: come to the front.
    SetForegroundWindow(Hwnd());
    return true;
}

void PasswordEntryDialog::OnOK() {
    password_ = ItemText(IDC_LOCK_PASSWORD);
    End(IDOK);
}

ProtectionSettingsDialog::ProtectionSettingsDialog(ProtectionStore& store)
    : Dialog(IDD_PROTECTION), store_(store) {}

bool ProtectionSettingsDialog::OnInitDialog() {
    password_.Limit(Item(IDC_LOCK_PASSWORD));
    confirmation_.Limit(Item(IDC_LOCK_CONFIRM));
    // The option is shown only with a readable protection flag.
    if (const auto flag = store_.ReadMarker(ProtectionStore::kFlag)) {
        CheckDlgButton(Hwnd(), IDC_LOCK_PROTECT, *flag ? BST_CHECKED : BST_UNCHECKED);
        const bool shield = store_.ReadMarker(ProtectionStore::kShield).value_or(false);
        CheckDlgButton(Hwnd(), IDC_LOCK_SHIELD, shield ? BST_CHECKED : BST_UNCHECKED);
    }
    return true;
}

bool ProtectionSettingsDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_LOCK_REMOVE && code == BN_CLICKED) {
        // At once; the boxes keep their state for an OK afterwards.
        if (!store_.RemoveProtection()) {
            MessageBoxW(Hwnd(), kRemoveFailed, L"Hourlink", MB_OK | MB_ICONEXCLAMATION);
        }
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void ProtectionSettingsDialog::OnOK() {
    const auto password = win::WideToGbkExactly(ItemText(IDC_LOCK_PASSWORD));
    const auto confirmation = win::WideToGbkExactly(ItemText(IDC_LOCK_CONFIRM));
    if (!password || !confirmation || *password != *confirmation) {
        // Nothing is stored; the user opens the dialog again to retry.
        MessageBoxW(Hwnd(), kWrongPassword, L"Hourlink", MB_OK | MB_ICONEXCLAMATION);
        End(IDCANCEL);
        return;
    }
    if (!store_.Save(IsDlgButtonChecked(Hwnd(), IDC_LOCK_PROTECT) == BST_CHECKED,
                     IsDlgButtonChecked(Hwnd(), IDC_LOCK_SHIELD) == BST_CHECKED, *password)) {
        MessageBoxW(Hwnd(), kSaveFailed, L"Hourlink", MB_OK | MB_ICONEXCLAMATION);
        End(IDCANCEL);
        return;
    }
    End(IDOK);
}

}  // namespace hourlink
