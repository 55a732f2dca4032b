#include "shell/win/window.h"

#include <commctrl.h>

namespace hourlink::win {

namespace {

// The subclass of the controls this layer attaches to.
constexpr UINT_PTR kSubclassId = 0x486C;  // "Hl"

}  // namespace

HWND ReflectionTarget(HWND parent, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:  // lParam is the control; 0 for menus and accelerators
        case WM_HSCROLL:  // lParam is the scroll bar, track bar or up-down; 0 for the window's own
        case WM_VSCROLL:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<HWND>(lp);
        case WM_NOTIFY:
            return lp ? reinterpret_cast<const NMHDR*>(lp)->hwndFrom : nullptr;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            return item && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
        }
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lp);
            return item && item->CtlType != ODT_MENU && wp
                       ? GetDlgItem(parent, static_cast<int>(wp))
                       : nullptr;
        }
        default:
            return nullptr;
    }
}

Window::~Window() {
    if (attached_) {
        Detach();
    } else {
        Destroy();
    }
}

Window* Window::FromHwnd(HWND hwnd) {
    // The window's user data, which belongs to whoever made the window: this
    // layer, for its own windows, dialogs and the controls it attaches to. It
    // is read in the process without asking the window server, unlike a
    // property; every message dispatched and reflected looks it up.
    // Another program's windows hold their own data there.
    if (!hwnd) return nullptr;
    DWORD process = 0;
    if (!GetWindowThreadProcessId(hwnd, &process) || process != GetCurrentProcessId()) {
        return nullptr;
    }
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool Window::Create(const WindowClass& windowClass, const CreateArgs& args) {
    if (hwnd_ || !windowClass.name) return false;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExW(instance, windowClass.name, &existing)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = windowClass.style;
        wc.lpfnWndProc = ClassProc;
        wc.hInstance = instance;
        wc.hIcon = windowClass.icon;
        wc.hIconSm = windowClass.smallIcon;
        wc.hCursor = windowClass.cursor ? windowClass.cursor : LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = windowClass.background;
        wc.lpszMenuName = windowClass.menuName;
        wc.lpszClassName = windowClass.name;
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    }
    HWND created =
        CreateWindowExW(args.exStyle, windowClass.name, args.title, args.style, args.x, args.y,
                        args.width, args.height, args.parent, args.menu, instance, this);
    return created != nullptr && created == hwnd_;
}

bool Window::Attach(HWND hwnd) {
    if (hwnd_ || !hwnd || FromHwnd(hwnd)) return false;
    if (!SetWindowSubclass(hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        return false;
    }
    attached_ = true;
    Bind(hwnd);
    return true;
}

void Window::Detach() {
    if (!attached_ || !hwnd_) return;
    RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    Unbind();
}

void Window::Destroy() {
    if (hwnd_) DestroyWindow(hwnd_);  // WM_NCDESTROY unbinds
}

std::wstring Window::Text() const {
    if (!hwnd_) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Window::SetText(std::wstring_view text) {
    if (hwnd_) SetWindowTextW(hwnd_, std::wstring(text).c_str());
}

LRESULT Window::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
    return DefaultProc(msg, wp, lp);
}

LRESULT Window::DefaultProc(UINT msg, WPARAM wp, LPARAM lp) {
    return attached_ ? DefSubclassProc(hwnd_, msg, wp, lp) : DefWindowProcW(hwnd_, msg, wp, lp);
}

bool Window::OnReflected(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

void Window::Bind(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void Window::Unbind() {
    if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    attached_ = false;
}

LRESULT Window::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
    if (HWND child = ReflectionTarget(hwnd_, msg, wp, lp)) {
        Window* target = FromHwnd(child);
        LRESULT result = 0;
        if (target && target != this && target->OnReflected(msg, wp, lp, result)) return result;
    }
    if (msg != WM_NCDESTROY) return WndProc(msg, wp, lp);
    // The last message: let the table and the default procedure see it, then
    // let go of the window.
    LRESULT result = WndProc(msg, wp, lp);
    if (attached_) RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    Unbind();
    OnFinalMessage();
    return result;
}

LRESULT CALLBACK Window::ClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Window* self = FromHwnd(hwnd);
    if (!self && msg == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (self) self->Bind(hwnd);
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
    return self ? self->Dispatch(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                      DWORD_PTR data) {
    auto* self = reinterpret_cast<Window*>(data);
    return self ? self->Dispatch(msg, wp, lp) : DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace hourlink::win
