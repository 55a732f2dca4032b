#include "shell/win/dialog.h"

#include "shell/win/message_loop.h"

namespace hourlink::win {

Dialog::~Dialog() {
    // Window's destructor would destroy the window too, but by then this part of
    // the object is gone and WM_DESTROY would not reach the table.
    Destroy();
}

INT_PTR Dialog::DoModal(HWND owner) {
    if (Hwnd()) return -1;
    modal_ = true;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_),
                                           owner, DialogProc, reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

bool Dialog::CreateModeless(HWND owner) {
    if (Hwnd()) return false;
    modal_ = false;
    HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hwnd) return false;
    MessageLoop::AddModeless(hwnd);
    return true;
}

void Dialog::End(INT_PTR result) {
    if (!Hwnd()) return;
    if (modal_) {
        EndDialog(Hwnd(), result);
    } else {
        Destroy();
    }
}

std::wstring Dialog::ItemText(int id) const {
    HWND item = Item(id);
    if (!item) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool Dialog::OnCommand(WORD id, WORD, HWND) {
    switch (id) {
        case IDOK:
            OnOK();
            return true;
        case IDCANCEL:  // also Esc and the close box
            OnCancel();
            return true;
    }
    return false;
}

LRESULT Dialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            return OnInitDialog() ? TRUE : FALSE;
        case WM_COMMAND:
            if (OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp))) return TRUE;
            break;
        case WM_DESTROY:
            if (!modal_) MessageLoop::RemoveModeless(Hwnd());
            break;
    }
    return Window::WndProc(msg, wp, lp);
}

void Dialog::RefuseField(int id, std::wstring_view message) {
    const std::wstring text(message);
    MessageBoxW(Hwnd(), text.c_str(), L"Hourlink", MB_OK | MB_ICONEXCLAMATION);
    HWND control = Item(id);
    SetFocus(control);
    wchar_t kind[16] = {};
    GetClassNameW(control, kind, 16);
    if (lstrcmpiW(kind, L"ComboBox") == 0) {
        SendMessageW(control, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    } else {
        SendMessageW(control, EM_SETSEL, 0, -1);
    }
}

LRESULT Dialog::SetResult(LRESULT result) {
    SetWindowLongPtrW(Hwnd(), DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* window = FromHwnd(hwnd);
    if (!window && msg == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lp);
        dialog->Bind(hwnd);
        window = dialog;
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) go to the dialog manager.
    if (!window) return FALSE;
    return static_cast<Dialog*>(window)->Dispatch(msg, wp, lp);
}

ColouredDialog::~ColouredDialog() {
    Destroy();
}

LRESULT ColouredDialog::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG:
            if (!background_) background_ = CreateSolidBrush(backgroundColour_);
            break;
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            auto dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, textColour_);
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

}  // namespace hourlink::win
