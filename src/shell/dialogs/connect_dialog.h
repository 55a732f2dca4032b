// ConnectDialog (139): asks for the user name, password and phone number of
// the entry about to be dialled; its title is the entry's name. "属性(&O)"
// opens the system's editor of the entry.
#pragma once

#include <functional>
#include <string>

#include "core/net/dialer.h"
#include "shell/widgets/pp_tooltip.h"
#include "shell/widgets/xp_button.h"
#include "shell/win/dialog.h"

namespace hourlink {

class ConnectDialog : public win::Dialog {
  public:
    // Opens the system's phonebook editor on an entry, owned by the dialog.
    using EditEntry = std::function<void(HWND owner, const std::wstring& entryName)>;

    ConnectDialog(ConnectDetails& details, EditEntry editEntry = {});

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override;

  private:
    ConnectDetails& details_;
    EditEntry editEntry_;
    // The buttons are drawn by the program, each with its tip.
    widgets::CXPButton dialButton_;
    widgets::CXPButton cancelButton_;
    widgets::CXPButton propertiesButton_;
    widgets::CPPTooltip tip_;
};

}  // namespace hourlink
