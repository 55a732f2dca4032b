#include "app/about_dialog.h"

#include "res/resource.h"

namespace hourlink {

AboutDialog::AboutDialog() : Dialog(IDD_ABOUTBOX) {}

AboutDialog::~AboutDialog() {
    Destroy();  // deletes the brush through WM_DESTROY when still open
}

bool AboutDialog::OnInitDialog() {
    background_ = CreateSolidBrush(kBackground);
    return true;
}

LRESULT AboutDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Every control's text white over the dialog's own blue.
            auto dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, kText);
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(background_);
        }
        case WM_DESTROY:
            if (background_) {
                DeleteObject(background_);
                background_ = nullptr;
            }
            break;
    }
    return Dialog::WndProc(msg, wp, lp);
}

void ShowAboutBox(HWND owner) {
    AboutDialog dialog;
    dialog.DoModal(owner);
}

}  // namespace hourlink
