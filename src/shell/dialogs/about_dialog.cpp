#include "shell/dialogs/about_dialog.h"

#include "res/about_res.h"

namespace hourlink {

AboutDialog::AboutDialog() : ColouredDialog(IDD_ABOUTBOX, kBackground, kText) {}

bool AboutDialog::OnInitDialog() {
    web_.SetTarget(kWebTarget);
    web_.SubclassDlgItem(IDC_ABOUT_WEB, Hwnd());
    // The label shows the address; a click writes to it.
    mail_.SetTarget(kMailTarget);
    mail_.SubclassDlgItem(IDC_ABOUT_MAIL, Hwnd());
    return true;
}

void ShowAboutBox(HWND owner) {
    AboutDialog dialog;
    dialog.DoModal(owner);
}

}  // namespace hourlink
