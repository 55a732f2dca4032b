#include "app/about_dialog.h"

#include "res/resource.h"

namespace hourlink {

AboutDialog::AboutDialog() : ColouredDialog(IDD_ABOUTBOX, kBackground, kText) {}

void ShowAboutBox(HWND owner) {
    AboutDialog dialog;
    dialog.DoModal(owner);
}

}  // namespace hourlink
