#include "shell/dialogs/shutdown_dialog.h"

#include <commctrl.h>

#include "core/base/time_format.h"
#include "core/ui/option_fields.h"
#include "res/automation_res.h"

namespace hourlink {

namespace {

SYSTEMTIME ToSystemTime(std::int64_t t) {
    SYSTEMTIME st{};
    if (const auto tm = ToLocalTime(t)) {
        st.wYear = static_cast<WORD>(tm->tm_year + 1900);
        st.wMonth = static_cast<WORD>(tm->tm_mon + 1);
        st.wDay = static_cast<WORD>(tm->tm_mday);
        st.wDayOfWeek = static_cast<WORD>(tm->tm_wday);
        st.wHour = static_cast<WORD>(tm->tm_hour);
        st.wMinute = static_cast<WORD>(tm->tm_min);
        st.wSecond = static_cast<WORD>(tm->tm_sec);
    }
    return st;
}

}  // namespace

ShutdownSettingsDialog::ShutdownSettingsDialog(SettingsStore& settings, const Clock& clock)
    : Dialog(IDD_SHUTDOWN_SETTINGS), settings_(settings), clock_(clock) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);
}

bool ShutdownSettingsDialog::OnInitDialog() {
    SetForegroundWindow(Hwnd());
    SendDlgItemMessageW(Hwnd(), IDC_SHUT_HOURS_SPIN, UDM_SETRANGE32, 0, 23);
    SendDlgItemMessageW(Hwnd(), IDC_SHUT_HOUR_SPIN, UDM_SETRANGE32, 0, 23);
    HWND picker = Item(IDC_SHUT_TIME);
    SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"MM'月'dd'日' HH:mm"));
    // Every moment the picker offers fits the plan's 32-bit time.
    SYSTEMTIME range[2] = {};
    range[1] = ToSystemTime(LatestShutdownTime());
    SendMessageW(picker, DTM_SETRANGE, GDTR_MAX, reinterpret_cast<LPARAM>(range));

    const ShutdownSettings loaded = ReadShutdownSettings(settings_, clock_.Now());
    CheckDlgButton(Hwnd(), IDC_SHUT_EVERY_START, loaded.everyStart ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(Hwnd(), IDC_SHUT_HOUR, loaded.hour, FALSE);
    SetDlgItemInt(Hwnd(), IDC_SHUT_HOURS, loaded.hours, FALSE);
    SYSTEMTIME time = ToSystemTime(loaded.time);
    SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
    if (loaded.mode >= 0 && loaded.mode <= 2) {
        CheckRadioButton(Hwnd(), IDC_SHUT_AFTER_HOURS, IDC_SHUT_AT_TIME,
                         IDC_SHUT_AFTER_HOURS + loaded.mode);
    }
    return true;
}

void ShutdownSettingsDialog::OnOK() {
    ShutdownSettings values;
    values.everyStart = IsDlgButtonChecked(Hwnd(), IDC_SHUT_EVERY_START) == BST_CHECKED;
    const CheckedNumber hour = CheckUnsigned(ItemText(IDC_SHUT_HOUR), 23);
    if (!hour.value) return RefuseField(IDC_SHUT_HOUR, hour.message);
    values.hour = static_cast<std::uint32_t>(*hour.value);
    // "now + hours" must stay a time the plan can keep.
    const std::int64_t now = clock_.Now();
    const CheckedNumber hours = CheckUnsigned(ItemText(IDC_SHUT_HOURS), MaxShutdownHours(now));
    if (!hours.value) return RefuseField(IDC_SHUT_HOURS, hours.message);
    values.hours = static_cast<std::uint32_t>(*hours.value);
    SYSTEMTIME st{};
    SendDlgItemMessageW(Hwnd(), IDC_SHUT_TIME, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
    // The picker shows minutes: the plan starts at the minute shown.
    values.time = FromLocalTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, 0).value_or(0);
    for (int mode = 0; mode < 3; ++mode) {
        if (IsDlgButtonChecked(Hwnd(), IDC_SHUT_AFTER_HOURS + mode) == BST_CHECKED) {
            values.mode = mode;
        }
    }
    values_ = values;
    End(IDOK);
}

void ShutdownSettingsDialog::Save() {
    WriteShutdownSettings(settings_, values_);
}

}  // namespace hourlink
