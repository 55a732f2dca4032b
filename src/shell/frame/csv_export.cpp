#include "shell/frame/csv_export.h"

#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "core/history/session_csv.h"
#include "shell/views/hourlink_view.h"
#include "shell/win/system_library.h"
#include "shell/win/text.h"

namespace hourlink {

std::wstring CsvExport::Command(HWND owner, const CHourlinkView& list) {
    const std::vector<SessionRecord> records = list.ShownRecords();
    const auto path = AskPath(owner, SuggestedName(list.Month()));
    if (!path) return {};
    if (const DWORD error = WriteReplacing(*path, Bytes(records)); error != 0) {
        MessageBoxW(owner, FailureText(*path, error).c_str(), L"Hourlink", MB_OK | MB_ICONERROR);
        return {};
    }
    return *path;
}

std::optional<std::wstring> CsvExport::AskPath(HWND owner, const std::wstring& suggestedName) {
    std::vector<wchar_t> file(32768, L'\0');
    suggestedName.copy(file.data(), std::min(suggestedName.size(), file.size() - 1));
    static constexpr wchar_t kFilter[] = L"CSV 文件 (*.csv)\0*.csv\0所有文件 (*.*)\0*.*\0";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrTitle = L"导出CSV";
    ofn.lpstrDefExt = L"csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN | OFN_HIDEREADONLY |
                OFN_EXPLORER;
    static const auto save =
        win::SystemFunction<decltype(&GetSaveFileNameW)>(L"comdlg32.dll", "GetSaveFileNameW");
    win::UseOle();  // the dialog's folder view is the shell's COM code
    if (!save || !save(&ofn)) return std::nullopt;
    return std::wstring(file.data());
}

std::string CsvExport::Bytes(std::span<const SessionRecord> records) {
    return SessionCsv(records,
                      [](std::string_view gbk) { return win::WideToUtf8(win::GbkToWide(gbk)); });
}

DWORD CsvExport::WriteReplacing(const std::wstring& path, std::string_view bytes) {
    if (bytes.size() > MAXDWORD) return ERROR_FILE_TOO_LARGE;
    // Beside the target, so that the move is a rename on the same volume.
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    wchar_t temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameW(folder.c_str(), L"hlc", 0, temporary) == 0) return GetLastError();

    DWORD error = 0;
    const HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
    } else {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
            error = GetLastError();
        } else if (written != bytes.size()) {
            error = ERROR_HANDLE_DISK_FULL;
        } else if (!FlushFileBuffers(file)) {
            error = GetLastError();
        }
        if (!CloseHandle(file) && error == 0) error = GetLastError();
    }
    if (error == 0 &&
        !MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != 0) DeleteFileW(temporary);
    return error;
}

std::wstring CsvExport::SuggestedName(YearMonth month) {
    wchar_t name[64];
    std::swprintf(name, 64, L"Hourlink-%04d-%02d.csv", month.year, month.month);
    return name;
}

std::wstring CsvExport::FailureText(const std::wstring& path, DWORD error) {
    return L"无法导出CSV文件 " + path + L"\n" + win::SystemErrorText(error);
}

}  // namespace hourlink
