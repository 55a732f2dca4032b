// CXPButton: a dialog's push button drawn by itself, with rounded corners, a
// soft vertical gradient, and an orange frame while the mouse rests on it. It
// is attached to an existing button of a dialog template.
#pragma once

#include <windows.h>

#include "shell/widgets/gdi_handles.h"
#include "shell/win/window.h"

namespace hourlink::widgets {

class CXPButton : public win::Window {
  public:
    static constexpr COLORREF kBoundary = RGB(0, 0, 0);
    static constexpr COLORREF kFrameLeft = RGB(250, 196, 88);
    static constexpr COLORREF kFrameRight = RGB(251, 202, 106);
    static constexpr COLORREF kFrameTop = RGB(252, 210, 121);
    static constexpr COLORREF kFrameBottom = RGB(229, 151, 0);
    static constexpr COLORREF kFace = RGB(222, 223, 236);

    CXPButton();
    ~CXPButton() override;

    // Takes over the button `id` of `dialog`, or `button`: it becomes owner-drawn
    // and repaints. False when there is no such button or it is taken already.
    bool SubclassDlgItem(int id, HWND dialog) { return SubclassButton(GetDlgItem(dialog, id)); }
    bool SubclassButton(HWND button);

    bool Hovering() const { return hover_; }
    bool IsDefault() const { return default_; }

    // Draws the button as `item` describes it (the state bits and the DC).
    void DrawItem(const DRAWITEMSTRUCT& item);

    // The gradient's colour number `i` (0..63) of the face.
    static COLORREF FaceColour(int i, bool hover, bool focus);

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    OwnedPen boundaryPen_;
    OwnedPen leftPen_;
    OwnedPen rightPen_;
    OwnedPen topPen_;
    OwnedPen bottomPen_;
    OwnedBrush hoverBrush_;
    OwnedBrush normalBrush_;
    bool hover_ = false;
    bool tracking_ = false;
    bool focus_ = false;
    bool default_ = false;
};

}  // namespace hourlink::widgets
