// The dialog of the programs run after connecting (158, "自动运行程序"): the
// list of paths, "增加" with an open-file dialog, "删除" of the selected row,
// and the check box that has the programs asked to close at the disconnect.
// Every change is written at once; "关闭" only closes.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/settings/settings_store.h"
#include "shell/win/dialog.h"

namespace hourlink {

class RunProgramsDialog : public win::Dialog {
  public:
    // Asks the user for a program; nothing when cancelled.
    using ChooseProgram = std::function<std::optional<std::wstring>(HWND owner)>;

    // Without `choose`, the system's open-file dialog asks.
    explicit RunProgramsDialog(SettingsStore& settings, ChooseProgram choose = {});

    std::vector<std::wstring> Rows() const;

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;

  private:
    void Reload();
    void Add();
    void Delete();

    SettingsStore& settings_;
    ChooseProgram choose_;
};

// The system's open-file dialog for an executable.
std::optional<std::wstring> ChooseExecutable(HWND owner);

}  // namespace hourlink
