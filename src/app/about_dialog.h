// The About box (dialog 100): the program icon, its name and version, the web
// page and mail address, and a status line, white on the program's blue.
#pragma once

#include <windows.h>

#include "win/dialog.h"

namespace hourlink {

class AboutDialog : public win::Dialog {
  public:
    static constexpr COLORREF kBackground = RGB(60, 120, 204);
    static constexpr COLORREF kText = RGB(255, 255, 255);

    AboutDialog();
    ~AboutDialog() override;

    // The background brush while the dialog is open; null otherwise.
    HBRUSH Background() const { return background_; }

  protected:
    bool OnInitDialog() override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  private:
    HBRUSH background_ = nullptr;
};

// Command 57664: shows the About box modally over `owner`.
void ShowAboutBox(HWND owner);

}  // namespace hourlink
