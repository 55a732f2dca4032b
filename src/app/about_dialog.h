// The About box (dialog 100): the program icon, its name and version, the web
// page and mail address, and a status line, white on the program's blue.
#pragma once

#include <windows.h>

#include "win/dialog.h"

namespace hourlink {

class AboutDialog : public win::ColouredDialog {
  public:
    static constexpr COLORREF kBackground = RGB(60, 120, 204);
    static constexpr COLORREF kText = RGB(255, 255, 255);

    AboutDialog();
};

// Command 57664: shows the About box modally over `owner`.
void ShowAboutBox(HWND owner);

}  // namespace hourlink
