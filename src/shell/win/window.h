// The window base of our thin window layer: one Window object per HWND, a
// virtual window procedure that reads as a message table, and reflection of a
// child's notifications back to the child's own object (as SumatraPDF's wingui).
//
// A child reports to its owner through the callbacks its owner gives it (in its
// Args, or an On...() setter); it never posts or sends to its owner's window.
//
// A class of ours either creates its window (Create with a WindowClass) or
// attaches to an existing one, such as a control in a dialog (Attach, which
// subclasses it). Either way Window::FromHwnd finds the object, and the parent's
// WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*, WM_DRAWITEM and scroll messages about the
// child are offered to the child's OnReflected first.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace hourlink::win {

// The window class to register (once per name) for windows created by Create.
struct WindowClass {
    const wchar_t* name = nullptr;
    UINT style = CS_HREDRAW | CS_VREDRAW;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;  // null: the arrow
    HBRUSH background = nullptr;
    const wchar_t* menuName = nullptr;
};

// Everything CreateWindowEx takes, with the defaults of a top-level window.
struct CreateArgs {
    HWND parent = nullptr;
    const wchar_t* title = L"";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    HMENU menu = nullptr;  // for a child window: its control id
};

class Window {
  public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    // Destroys a window that this object created and still owns; detaches an
    // attached one. By then the derived part is gone, so its table no longer sees
    // WM_DESTROY: a class that must handle it calls Destroy() in its destructor.
    virtual ~Window();

    HWND Hwnd() const { return hwnd_; }
    // The object of a window created or attached by this layer; null otherwise.
    static Window* FromHwnd(HWND hwnd);

    // Subclasses an existing window (a dialog's control) so that its messages and
    // its reflected notifications reach this object. False when already attached.
    bool Attach(HWND hwnd);
    // Undoes Attach; the window lives on.
    void Detach();
    // Destroys the window; safe when there is none.
    void Destroy();

    std::wstring Text() const;
    void SetText(std::wstring_view text);
    void Show(int showCommand) { ShowWindow(hwnd_, showCommand); }
    bool IsVisible() const { return hwnd_ && IsWindowVisible(hwnd_); }

  protected:
    // Registers the class when needed and creates the window. False on failure,
    // also when the window's WM_CREATE handler returns -1.
    bool Create(const WindowClass& windowClass, const CreateArgs& args);

    // The message table of a derived class: a switch over the messages it handles
    // that ends with `return Window::WndProc(msg, wp, lp);`.
    virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
    // What the window would do without this object: DefWindowProc for created
    // windows, the original procedure for attached ones. (A dialog class overrides
    // it to answer "not handled" to its dialog manager.)
    virtual LRESULT DefaultProc(UINT msg, WPARAM wp, LPARAM lp);
    // A notification that this window's parent received about this window.
    // Return true and set `result` to handle it here.
    virtual bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // After the last message (WM_NCDESTROY); Hwnd() is already null.
    virtual void OnFinalMessage() {}

    // For window procedures of other kinds (a dialog procedure): bind the object
    // to its window at the first message, then route every message to Dispatch,
    // which reflects, runs the table and unbinds after WM_NCDESTROY.
    void Bind(HWND hwnd);
    LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);

  private:
    static LRESULT CALLBACK ClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                         DWORD_PTR data);
    void Unbind();

    HWND hwnd_ = nullptr;
    bool attached_ = false;
};

// The child window that a message of `parent` is about, when it is one of the
// messages that Window reflects; null otherwise.
HWND ReflectionTarget(HWND parent, UINT msg, WPARAM wp, LPARAM lp);

}  // namespace hourlink::win
