// Dialogs from resource templates: modal (DialogBoxParam) or modeless
// (CreateDialogParam). The dialog procedure is routed through Window::Dispatch,
// so a dialog class has the same message table and reflection as any window.
//
// The table's return value is the dialog procedure's: FALSE for "not handled"
// (DefaultProc answers so to the dialog manager), or the value itself for the
// messages that return one directly (WM_CTLCOLOR*, WM_INITDIALOG). A message that
// returns its result through DWLP_MSGRESULT (WM_NOTIFY) uses SetResult.
#pragma once

#include <windows.h>

#include "shell/win/window.h"

namespace hourlink::win {

class Dialog : public Window {
  public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    // Destroys a modeless dialog that is still open.
    ~Dialog() override;

    // Runs the dialog modally; returns what End was given, or -1 when the dialog
    // could not be created.
    INT_PTR DoModal(HWND owner);
    // Creates the dialog modeless (visible when its template says WS_VISIBLE) and
    // gives it keyboard navigation in the message loop. False on failure.
    bool CreateModeless(HWND owner);
    // Ends a modal dialog with `result`, or destroys a modeless one.
    void End(INT_PTR result);

    HWND Item(int id) const { return GetDlgItem(Hwnd(), id); }
    std::wstring ItemText(int id) const;
    UINT TemplateId() const { return templateId_; }

  protected:
    // Controls exist; return true to let the dialog manager focus the first
    // control, false when this dialog set the focus itself.
    virtual bool OnInitDialog() { return true; }
    // A command from a control, menu or accelerator. IDOK and IDCANCEL end the
    // dialog by default (OnOK, OnCancel). Return true when handled.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }

    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    // Nothing the table leaves is done by this object: the dialog manager does it.
    LRESULT DefaultProc(UINT, WPARAM, LPARAM) override { return FALSE; }

    // Stores `result` as the message's result (DWLP_MSGRESULT) and returns TRUE,
    // for the table to return.
    LRESULT SetResult(LRESULT result);

    // Refuses what control `id` holds: shows `message` in a box captioned
    // "Hourlink", then gives the control the focus with its text selected.
    void RefuseField(int id, std::wstring_view message);

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    UINT templateId_;
    bool modal_ = false;
};

// A dialog painted in one colour with every control's text in another, on a
// transparent background. The brush lives as long as the dialog's window.
class ColouredDialog : public Dialog {
  public:
    ColouredDialog(UINT templateId, COLORREF background, COLORREF text)
        : Dialog(templateId), backgroundColour_(background), textColour_(text) {}
    // Destroys the window while this object can still free the brush.
    ~ColouredDialog() override;

    // The background brush while the dialog is open; null otherwise.
    HBRUSH Background() const { return background_; }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    COLORREF backgroundColour_;
    COLORREF textColour_;
    HBRUSH background_ = nullptr;
};

}  // namespace hourlink::win
