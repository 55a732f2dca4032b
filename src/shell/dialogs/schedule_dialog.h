// The weekly schedule dialog (152, "自动连接与挂断"): the weekdays, the entry
// to dial and four windows of start and stop times, each picked from the 48
// half hours or typed. A time that is not "h:mm" is refused on OK with the
// box "无效的时间格式. 格式为00:00" and nothing is saved. The caller arms the
// schedule afresh after a confirmed dialog.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "core/settings/settings_store.h"
#include "shell/win/dialog.h"

namespace hourlink {

class ScheduleDialog : public win::Dialog {
  public:
    // The entry names the combo offers.
    using EntryNames = std::function<std::vector<std::wstring>()>;

    ScheduleDialog(SettingsStore& settings, EntryNames entryNames);

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    SettingsStore& settings_;
    EntryNames entryNames_;
};

}  // namespace hourlink
