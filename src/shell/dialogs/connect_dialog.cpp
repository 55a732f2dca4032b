#include "shell/dialogs/connect_dialog.h"

#include "res/connect_res.h"
#include "res/resource.h"
#include "shell/dialogs/dialog_tips.h"

namespace hourlink {

ConnectDialog::ConnectDialog(ConnectDetails& details, EditEntry editEntry)
    : Dialog(IDD_CONNECT), details_(details), editEntry_(std::move(editEntry)) {}

bool ConnectDialog::OnInitDialog() {
    SetText(details_.entryName);
    // No more than RAS has room for.
    SendMessageW(Item(IDC_CONNECT_USER), EM_LIMITTEXT, kMaxUserName, 0);
    SendMessageW(Item(IDC_CONNECT_PASSWORD), EM_LIMITTEXT, kMaxPassword, 0);
    SendMessageW(Item(IDC_CONNECT_PHONE), EM_LIMITTEXT, kMaxPhoneNumber, 0);
    SetDlgItemTextW(Hwnd(), IDC_CONNECT_USER, details_.userName.c_str());
    SetDlgItemTextW(Hwnd(), IDC_CONNECT_PASSWORD, details_.password.c_str());
    SetDlgItemTextW(Hwnd(), IDC_CONNECT_PHONE, details_.phoneNumber.c_str());
    CheckDlgButton(Hwnd(), IDC_CONNECT_DONT_SAVE, details_.dontSavePassword ? BST_CHECKED : 0);

    dialButton_.SubclassDlgItem(IDOK, Hwnd());
    cancelButton_.SubclassDlgItem(IDCANCEL, Hwnd());
    propertiesButton_.SubclassDlgItem(IDC_CONNECT_PROPERTIES, Hwnd());
    tip_.Create(Hwnd(), true);
    tip_.AddTool(Item(IDOK), kConnectDialTip);
    tip_.AddTool(Item(IDCANCEL), kConnectCancelTip);
    tip_.AddTool(Item(IDC_CONNECT_PROPERTIES), kConnectPropertiesTip, IDI_TOOLTIP_TIP);
    UseProgramTipLook(tip_);
    return true;
}

bool ConnectDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_CONNECT_PROPERTIES && code == BN_CLICKED) {
        if (!details_.entryName.empty() && editEntry_) editEntry_(Hwnd(), details_.entryName);
        return true;
    }
    return Dialog::OnCommand(id, code, control);
}

void ConnectDialog::OnOK() {
    details_.userName = ItemText(IDC_CONNECT_USER);
    details_.password = ItemText(IDC_CONNECT_PASSWORD);
    details_.phoneNumber = ItemText(IDC_CONNECT_PHONE);
    details_.dontSavePassword = IsDlgButtonChecked(Hwnd(), IDC_CONNECT_DONT_SAVE) == BST_CHECKED;
    End(IDOK);
}

}  // namespace hourlink
