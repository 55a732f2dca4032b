// CLinkLabel: a static text that behaves like a link in a web page. It is
// underlined and coloured (the link colour, the visited colour once opened,
// the highlight colour under the mouse), shows a hand cursor and its target in
// a tool tip, and opens the target with the shell when clicked.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "shell/widgets/gdi_handles.h"
#include "shell/win/window.h"

namespace hourlink::widgets {

class CLinkLabel : public win::Window {
  public:
    static constexpr COLORREF kLinkColour = RGB(238, 0, 0);
    static constexpr COLORREF kVisitedColour = RGB(85, 26, 139);

    CLinkLabel() = default;
    ~CLinkLabel() override;

    // What a click opens; the window text when none is set before subclassing.
    void SetTarget(std::wstring target);
    const std::wstring& Target() const { return target_; }
    // Both before subclassing: underline the text, fit the control to its text.
    void SetUnderline(bool on) { underline_ = on; }
    void SetAutoSize(bool on) { adjustToFit_ = on; }

    // Takes over the static `id` of `dialog`, or `label`. False when there is no
    // such control or it is taken already.
    bool SubclassDlgItem(int id, HWND dialog) { return SubclassStatic(GetDlgItem(dialog, id)); }
    bool SubclassStatic(HWND label);

    bool Visited() const { return visited_; }
    bool OverLink() const { return overLink_; }
    COLORREF TextColour() const;
    HCURSOR LinkCursor() const { return cursor_.Get(); }
    HWND ToolTip() const { return toolTip_; }

    // Opens `target` as a click does: with the shell, else with the program
    // registered for web pages. A result above 32 is success; otherwise the
    // shell's or the system's error number.
    static INT_PTR OpenTarget(HWND owner, const std::wstring& target, int showCommand);
    // The web-page program's command line `command` cut before its "%1" and
    // given `target` instead.
    static std::wstring BrowserCommandLine(const std::wstring& command, const std::wstring& target);
    // The message shown when a target cannot be opened, for the result `code`.
    static std::wstring ErrorText(INT_PTR code);

    // Starts a command line with a show command, returning a value above 32 on
    // success: CreateProcess unless a test replaces it (an empty function puts
    // it back).
    using CommandStarter = std::function<INT_PTR(const std::wstring& commandLine, int showCommand)>;
    static void SetCommandStarterForTesting(CommandStarter starter);

  protected:
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    bool OnReflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

  private:
    void Open();
    void Repaint();
    void FitToText();
    void LoadLinkCursor();
    void CreateToolTip();
    void UpdateToolTip();

    COLORREF hoverColour_ = GetSysColor(COLOR_HIGHLIGHT);
    bool overLink_ = false;
    bool visited_ = false;
    bool underline_ = true;
    bool adjustToFit_ = true;
    std::wstring target_;
    OwnedFont font_;
    HFONT originalFont_ = nullptr;
    OwnedIcon cursor_;
    HWND toolTip_ = nullptr;
};

}  // namespace hourlink::widgets
