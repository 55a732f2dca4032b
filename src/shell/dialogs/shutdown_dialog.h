// The shutdown settings dialog (157, "关机设置"): the plan (after a number of
// hours, every day at an hour, at a date and time) and whether it is applied
// again at every start. It loads the plan when it opens; the shutdown command
// saves it and arms it when the dialog is confirmed.
#pragma once

#include <windows.h>

#include "core/automation/shutdown_plan.h"
#include "core/base/clock.h"
#include "core/settings/settings_store.h"
#include "shell/win/dialog.h"

namespace hourlink {

class ShutdownSettingsDialog : public win::Dialog {
  public:
    ShutdownSettingsDialog(SettingsStore& settings, const Clock& clock);

    // What the dialog was confirmed with.
    const ShutdownSettings& Values() const { return values_; }
    // Writes the confirmed values.
    void Save();

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    SettingsStore& settings_;
    const Clock& clock_;
    ShutdownSettings values_;
};

}  // namespace hourlink
