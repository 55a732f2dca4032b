// The About box (dialog 100): the program icon, its name and version, the web
// page and mail address as links, and a status line, white on the program's
// blue.
#pragma once

#include <windows.h>

#include "shell/widgets/link_label.h"
#include "shell/win/dialog.h"

namespace hourlink {

class AboutDialog : public win::ColouredDialog {
  public:
    static constexpr COLORREF kBackground = RGB(60, 120, 204);
    static constexpr COLORREF kText = RGB(255, 255, 255);
    // What the two links open.
    static constexpr wchar_t kWebTarget[] = L"https://hourlink.example/";
    static constexpr wchar_t kMailTarget[] = L"mailto:support@hourlink.example";

    AboutDialog();

    const widgets::CLinkLabel& WebLink() const { return web_; }
    const widgets::CLinkLabel& MailLink() const { return mail_; }

  protected:
    bool OnInitDialog() override;

  private:
    widgets::CLinkLabel web_;
    widgets::CLinkLabel mail_;
};

// Command 57664: shows the About box modally over `owner`.
void ShowAboutBox(HWND owner);

}  // namespace hourlink
