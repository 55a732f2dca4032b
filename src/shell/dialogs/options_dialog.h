// The options dialog (138, "选项") and the advanced dial options dialog (155,
// "拨号高级选项") it opens. Each loads its settings when it opens, checks the
// numbers on OK (the refused field gets the focus back, nothing is written)
// and writes them only then.
//
// What the rest of the program does after a confirmed options dialog (the
// drop window, the history, the start-with-Windows entry) is the caller's: the
// dialog returns IDOK once it has saved.
#pragma once

#include <windows.h>

#include <functional>
#include <span>
#include <vector>

#include "core/base/clock.h"
#include "core/settings/settings_store.h"
#include "core/ui/option_fields.h"
#include "shell/widgets/pp_tooltip.h"
#include "shell/widgets/xp_button.h"
#include "shell/win/dialog.h"

namespace hourlink {

// A dialog whose controls follow a table of fields.
class FieldDialog : public win::Dialog {
  public:
    using Dialog::Dialog;

    struct SpinRange {
        int spin;
        int low;
        int high;
    };
    // A table of fields and, in its order, the control of each.
    struct Fields {
        std::span<const DialogField> fields;
        std::span<const int> controls;
    };

  protected:
    void SetSpinRanges(std::span<const SpinRange> ranges);
    void ShowFields(const Fields& fields, const std::vector<int>& values);
    // The controls' values in table order; false after refusing the first
    // number that is not acceptable.
    bool ReadFields(const Fields& fields, std::vector<int>& values);
};

class AdvancedDialOptionsDialog : public FieldDialog {
  public:
    // `recheck` asks the connection watcher to look at the connection again,
    // as the LAN timing may have been switched; it must not run the watcher's
    // probes on this thread.
    AdvancedDialOptionsDialog(SettingsStore& settings, std::function<void()> recheck);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override;

  private:
    void EnableIdleMinutes();

    SettingsStore& settings_;
    std::function<void()> recheck_;
};

class OptionsDialog : public FieldDialog {
  public:
    struct Callbacks {
        // The advanced dialog was confirmed: the watcher looks again.
        std::function<void()> recheckConnection;
        // The defaults were restored: the drop window stops being translucent.
        std::function<void()> defaultsRestored;
    };

    OptionsDialog(SettingsStore& settings, const Clock& clock, Callbacks callbacks);

    // The tips over the dialog's buttons; it has tools while the dialog is open.
    widgets::CPPTooltip& Tip() { return tip_; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(WORD id, WORD code, HWND control) override;
    void OnOK() override;

  private:
    // Draws the buttons 1, 2, 1068 and 1000 ourselves and gives each its tip.
    void AttachWidgets();
    void RestoreDefaults();

    SettingsStore& settings_;
    const Clock& clock_;
    Callbacks callbacks_;
    widgets::CXPButton okButton_;
    widgets::CXPButton cancelButton_;
    widgets::CXPButton advancedButton_;
    widgets::CXPButton defaultsButton_;
    widgets::CPPTooltip tip_;
};

}  // namespace hourlink
