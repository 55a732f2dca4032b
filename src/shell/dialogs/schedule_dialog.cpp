#include "shell/dialogs/schedule_dialog.h"

#include <cwchar>

#include "core/automation/schedule.h"
#include "res/automation_res.h"

namespace hourlink {

namespace {

// Window n's start box is 1055 + 2 (n - 1), its stop box the one after.
int StartBox(std::size_t window) {
    return IDC_SCHED_START1 + static_cast<int>(window) * 2;
}
int StopBox(std::size_t window) {
    return StartBox(window) + 1;
}

}  // namespace

ScheduleDialog::ScheduleDialog(SettingsStore& settings, EntryNames entryNames)
    : Dialog(IDD_SCHEDULE), settings_(settings), entryNames_(std::move(entryNames)) {}

bool ScheduleDialog::OnInitDialog() {
    const SchedulePlan plan = ReadSchedulePlan(settings_);
    for (std::size_t day = 0; day < 7; ++day) {
        CheckDlgButton(Hwnd(), IDC_SCHED_MONDAY + static_cast<int>(day),
                       plan.days[day] ? BST_CHECKED : BST_UNCHECKED);
    }
    HWND entry = Item(IDC_SCHED_ENTRY);
    if (entryNames_) {
        for (const std::wstring& name : entryNames_()) {
            SendMessageW(entry, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
    }
    const LRESULT found = SendMessageW(entry, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(plan.entryName.c_str()));
    if (found != CB_ERR) {
        SendMessageW(entry, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    } else {
        // An entry not offered now (RAS not answering) is kept as it is.
        SetWindowTextW(entry, plan.entryName.c_str());
    }

    for (std::size_t w = 0; w < 4; ++w) {
        for (int box : {StartBox(w), StopBox(w)}) {
            HWND combo = Item(box);
            for (int half = 0; half < 48; ++half) {
                wchar_t text[8];
                std::swprintf(text, 8, L"%d:%02d", half / 2, half % 2 * 30);
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            }
        }
        SetDlgItemTextW(Hwnd(), StartBox(w), plan.starts[w].c_str());
        SetDlgItemTextW(Hwnd(), StopBox(w), plan.stops[w].c_str());
    }
    return true;
}

void ScheduleDialog::OnOK() {
    SchedulePlan plan;
    for (std::size_t day = 0; day < 7; ++day) {
        plan.days[day] =
            IsDlgButtonChecked(Hwnd(), IDC_SCHED_MONDAY + static_cast<int>(day)) == BST_CHECKED;
    }
    plan.entryName = ItemText(IDC_SCHED_ENTRY);
    for (int box = IDC_SCHED_START1; box <= IDC_SCHED_STOP4; ++box) {
        const auto time = NormalizeScheduleTime(ItemText(box));
        if (!time) return RefuseField(box, kInvalidScheduleTime);
        const auto window = static_cast<std::size_t>((box - IDC_SCHED_START1) / 2);
        ((box - IDC_SCHED_START1) % 2 == 0 ? plan.starts : plan.stops)[window] = *time;
    }
    WriteSchedulePlan(settings_, plan);
    End(IDOK);
}

}  // namespace hourlink
