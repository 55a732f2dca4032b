#include "shell/dialogs/run_programs_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include "core/automation/program_list.h"
#include "core/settings/settings.h"
#include "res/automation_res.h"
#include "shell/win/system_library.h"

namespace hourlink {

RunProgramsDialog::RunProgramsDialog(SettingsStore& settings, ChooseProgram choose)
    : Dialog(IDD_RUN_PROGRAMS),
      settings_(settings),
      choose_(choose ? std::move(choose) : ChooseProgram(ChooseExecutable)) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
}

bool RunProgramsDialog::OnInitDialog() {
    HWND list = Item(IDC_RUN_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    wchar_t title[] = L"连接后自动运行的程序";
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_CENTER;
    column.pszText = title;
    column.cx = ListView_GetStringWidth(list, title) + 370;
    ListView_InsertColumn(list, 0, &column);
    CheckDlgButton(Hwnd(), IDC_RUN_END_AT_DISCONNECT,
                   ReadSetting(settings_, settings::kEndProgramsAtDisconnect) == 1 ? BST_CHECKED
                                                                                   : BST_UNCHECKED);
    Reload();
    return true;
}

std::vector<std::wstring> RunProgramsDialog::Rows() const {
    std::vector<std::wstring> rows;
    HWND list = Item(IDC_RUN_LIST);
    const int count = ListView_GetItemCount(list);
    for (int i = 0; i < count; ++i) {
        wchar_t text[MAX_PATH * 2] = {};
        ListView_GetItemText(list, i, 0, text, MAX_PATH * 2);
        rows.emplace_back(text);
    }
    return rows;
}

void RunProgramsDialog::Reload() {
    HWND list = Item(IDC_RUN_LIST);
    ListView_DeleteAllItems(list);
    const auto paths = SplitProgramList(ReadSetting(settings_, settings::kRunPrograms));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(paths[i].c_str());
        ListView_InsertItem(list, &item);
    }
}

bool RunProgramsDialog::OnCommand(WORD id, WORD code, HWND control) {
    if (code == BN_CLICKED) {
        switch (id) {
            case IDC_RUN_ADD:
                Add();
                return true;
            case IDC_RUN_DELETE:
                Delete();
                return true;
            case IDC_RUN_END_AT_DISCONNECT:
                WriteSetting(settings_, settings::kEndProgramsAtDisconnect,
                             IsDlgButtonChecked(Hwnd(), id) == BST_CHECKED ? 1 : 0);
                return true;
        }
    }
    return Dialog::OnCommand(id, code, control);
}

void RunProgramsDialog::Add() {
    const auto path = choose_(Hwnd());
    if (!path) return;
    const auto added = AddProgram(Rows(), *path);
    if (!added) {
        const std::wstring text = std::wstring(kCommaInProgramPath) + *path;
        MessageBoxW(Hwnd(), text.c_str(), L"Hourlink", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    WriteSetting(settings_, settings::kRunPrograms, JoinProgramList(*added));
    Reload();
}

void RunProgramsDialog::Delete() {
    const int selected = ListView_GetNextItem(Item(IDC_RUN_LIST), -1, LVNI_SELECTED);
    if (selected < 0) return;
    // The row itself goes, never a piece of another path that contains it.
    auto paths = SplitProgramList(ReadSetting(settings_, settings::kRunPrograms));
    if (static_cast<std::size_t>(selected) >= paths.size()) return Reload();
    paths.erase(paths.begin() + selected);
    WriteSetting(settings_, settings::kRunPrograms, JoinProgramList(paths));
    Reload();
}

std::optional<std::wstring> ChooseExecutable(HWND owner) {
    wchar_t file[MAX_PATH * 2] = L"*.exe";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = L"可执行文件 (*.exe)\0*.exe\0All Files (*.*)\0*.*\0\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH * 2;
    ofn.lpstrDefExt = L"exe";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    static const auto open =
        win::SystemFunction<decltype(&GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
    win::UseOle();  // the dialog's folder view is the shell's COM code
    if (!open || !open(&ofn)) return std::nullopt;
    return std::wstring(file);
}

}  // namespace hourlink
