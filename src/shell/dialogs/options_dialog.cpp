#include "shell/dialogs/options_dialog.h"

#include <commctrl.h>

#include <array>

#include "core/accounting/data_allowance.h"
#include "res/options_res.h"
#include "res/resource.h"
#include "shell/dialogs/dialog_tips.h"

namespace hourlink {

namespace {

// The control of each field of kOptionsFields and kAdvancedFields, in their
// order: the edit, the check box, or the first of a radio pair.
constexpr std::array<int, kOptionsFields.size()> kOptionsControls{
    IDC_OPT_DEL_INTERVAL, IDC_OPT_START_DATE, IDC_OPT_LIMIT_TIME,  IDC_OPT_ALARM_SOUND,
    IDC_OPT_ALARM_WINDOW, IDC_OPT_DAY_LIMIT,  IDC_OPT_DROP_WINDOW, IDC_OPT_TRAN_WINDOW,
    IDC_OPT_START_RUN,    IDC_OPT_HANG_UP,    IDC_OPT_ADJUST,      IDC_OPT_ADJUST_ADD,
    IDC_OPT_DATA_LIMIT,   IDC_OPT_WARN_SHARE,
};
constexpr std::array<int, kAdvancedFields.size()> kAdvancedControls{
    IDC_ADV_IDLE_FLAG, IDC_ADV_LOCAL_FLAG, IDC_ADV_COUNT,
    IDC_ADV_IDLE,      IDC_ADV_WAIT,       IDC_ADV_START_UP_CONNECT,
};
constexpr FieldDialog::Fields kOptions{kOptionsFields, kOptionsControls};
constexpr FieldDialog::Fields kAdvanced{kAdvancedFields, kAdvancedControls};

constexpr std::array<FieldDialog::SpinRange, 6> kOptionsSpins{{
    {IDC_OPT_DEL_INTERVAL_SPIN, 1, 12},
    {IDC_OPT_START_DATE_SPIN, 1, 30},
    {IDC_OPT_LIMIT_TIME_SPIN, 1, 720},
    {IDC_OPT_DAY_LIMIT_SPIN, 1, 24},
    {IDC_OPT_ADJUST_SPIN, 0, 720},
    {IDC_OPT_WARN_SHARE_SPIN, 0, 100},
}};

// The spins go further than OK accepts, as they always have: the range
// message tells the user where the limit is.
constexpr std::array<FieldDialog::SpinRange, 3> kAdvancedSpins{{
    {IDC_ADV_WAIT_SPIN, 1, 200},
    {IDC_ADV_IDLE_SPIN, 1, 60},
    {IDC_ADV_COUNT_SPIN, 1, 200},
}};

}  // namespace

void FieldDialog::SetSpinRanges(std::span<const SpinRange> ranges) {
    for (const SpinRange& r : ranges) {
        SendDlgItemMessageW(Hwnd(), r.spin, UDM_SETRANGE32, static_cast<WPARAM>(r.low), r.high);
    }
}

void FieldDialog::ShowFields(const Fields& fields, const std::vector<int>& values) {
    for (std::size_t i = 0; i < fields.fields.size() && i < values.size(); ++i) {
        const int control = fields.controls[i];
        switch (fields.fields[i].kind) {
            case FieldKind::kNumber:
                SetDlgItemInt(Hwnd(), control, static_cast<UINT>(values[i]), TRUE);
                break;
            case FieldKind::kGigabytes:
                SetDlgItemTextW(Hwnd(), control, GigabytesText(values[i]).c_str());
                break;
            case FieldKind::kCheck:
                CheckDlgButton(Hwnd(), control, values[i] != 0 ? BST_CHECKED : BST_UNCHECKED);
                break;
            case FieldKind::kRadio:
                CheckRadioButton(Hwnd(), control, control + 1, control + (values[i] != 0 ? 1 : 0));
                break;
        }
    }
}

bool FieldDialog::ReadFields(const Fields& fields, std::vector<int>& values) {
    std::vector<int> read;
    for (std::size_t i = 0; i < fields.fields.size(); ++i) {
        const DialogField& f = fields.fields[i];
        const int control = fields.controls[i];
        switch (f.kind) {
            case FieldKind::kNumber: {
                const CheckedNumber n = CheckInteger(ItemText(control), f.min, f.max);
                if (!n.value) {
                    RefuseField(control, n.message);
                    return false;
                }
                read.push_back(static_cast<int>(*n.value));
                break;
            }
            case FieldKind::kGigabytes: {
                const std::optional<int> megabytes = ParseGigabytes(ItemText(control));
                if (!megabytes) {
                    RefuseField(control, GigabytesRangeMessage());
                    return false;
                }
                read.push_back(*megabytes);
                break;
            }
            case FieldKind::kCheck:
                read.push_back(IsDlgButtonChecked(Hwnd(), control) == BST_CHECKED ? 1 : 0);
                break;
            case FieldKind::kRadio:
                read.push_back(IsDlgButtonChecked(Hwnd(), control + 1) == BST_CHECKED ? 1 : 0);
                break;
        }
    }
    values = std::move(read);
    return true;
}

AdvancedDialOptionsDialog::AdvancedDialOptionsDialog(SettingsStore& settings,
                                                     std::function<void()> recheck)
    : FieldDialog(IDD_ADVANCED_DIAL), settings_(settings), recheck_(std::move(recheck)) {}

bool AdvancedDialOptionsDialog::OnInitDialog() {
    SetSpinRanges(kAdvancedSpins);
    ShowFields(kAdvanced, LoadFields(kAdvancedFields, settings_));
    EnableIdleMinutes();
    return true;
}

void AdvancedDialOptionsDialog::EnableIdleMinutes() {
    const BOOL on = IsDlgButtonChecked(Hwnd(), IDC_ADV_IDLE_FLAG) == BST_CHECKED;
    EnableWindow(Item(IDC_ADV_IDLE), on);
    EnableWindow(Item(IDC_ADV_IDLE_SPIN), on);
}

bool AdvancedDialOptionsDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (id == IDC_ADV_IDLE_FLAG && code == BN_CLICKED) {
        EnableIdleMinutes();
        return true;
    }
    return FieldDialog::OnCommand(id, code, control);
}

void AdvancedDialOptionsDialog::OnOK() {
    std::vector<int> values;
    if (!ReadFields(kAdvanced, values)) return;
    SaveFields(kAdvancedFields, values, settings_);
    if (recheck_) recheck_();
    End(IDOK);
}

OptionsDialog::OptionsDialog(SettingsStore& settings, const Clock& clock, Callbacks callbacks)
    : FieldDialog(IDD_OPTIONS),
      settings_(settings),
      clock_(clock),
      callbacks_(std::move(callbacks)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
}

bool OptionsDialog::OnInitDialog() {
    SetSpinRanges(kOptionsSpins);
    AttachWidgets();
    ShowFields(kOptions, LoadFields(kOptionsFields, settings_));
    return true;
}

void OptionsDialog::AttachWidgets() {
    okButton_.SubclassDlgItem(IDOK, Hwnd());
    cancelButton_.SubclassDlgItem(IDCANCEL, Hwnd());
    advancedButton_.SubclassDlgItem(IDC_OPT_ADVANCED, Hwnd());
    defaultsButton_.SubclassDlgItem(IDC_OPT_RESTORE_DEFAULTS, Hwnd());
    // Without its tip window the dialog still works; the buttons just say less.
    if (!tip_.Create(Hwnd(), true)) return;
    tip_.AddTool(Item(IDOK), kOptionsOkTip, IDI_TOOLTIP_TIP);
    tip_.AddTool(Item(IDCANCEL), kOptionsCancelTip);
    tip_.AddTool(Item(IDC_OPT_ADVANCED), kOptionsAdvancedTip);
    tip_.AddTool(Item(IDC_OPT_RESTORE_DEFAULTS), kOptionsDefaultsTip);
    UseProgramTipLook(tip_);
}

bool OptionsDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (code == BN_CLICKED) {
        switch (id) {
            case IDC_OPT_RESTORE_DEFAULTS:
                RestoreDefaults();
                return true;
            case IDC_OPT_ADVANCED:
                // What has been typed here stays as it is.
                AdvancedDialOptionsDialog(settings_, callbacks_.recheckConnection).DoModal(Hwnd());
                return true;
        }
    }
    return FieldDialog::OnCommand(id, code, control);
}

void OptionsDialog::RestoreDefaults() {
    // Written at once: a later Cancel keeps them.
    RestoreDefaultSettings(settings_);
    ShowFields(kOptions, LoadFields(kOptionsFields, settings_));
    if (callbacks_.defaultsRestored) callbacks_.defaultsRestored();
}

void OptionsDialog::OnOK() {
    std::vector<int> values;
    if (!ReadFields(kOptions, values)) return;
    SaveOptions(values, settings_, clock_.Now());
    End(IDOK);
}

}  // namespace hourlink
