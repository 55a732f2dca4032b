#include "shell/frame/html_report.h"

// The Windows headers that need <windows.h> first:
#include <commctrl.h>

#include <climits>

#include "shell/platform/program_file.h"
#include "shell/win/exact_gbk.h"
#include "shell/win/shell_open.h"

namespace hourlink {

namespace {

bool EncodeGbk(std::wstring_view text, std::string& bytes) {
    const auto gbk = win::WideToGbkExactly(text);
    if (!gbk) return false;
    bytes += *gbk;
    return true;
}

// Creates or truncates `path` and writes `bytes`; a file that could not be
// written whole is deleted again.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    if (bytes.size() > MAXDWORD) return false;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    if (!CloseHandle(file) || !ok) {
        DeleteFileW(path.c_str());
        return false;
    }
    return true;
}

std::wstring TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return {};
    return std::wstring(buffer, length);
}

}  // namespace

HtmlReport::HtmlReport() : HtmlReport(ProgramDirectory().value_or(std::wstring())) {}

HtmlReport::HtmlReport(std::wstring programFolder) : programFolder_(std::move(programFolder)) {}

std::wstring HtmlReport::Write(HWND owner, std::span<const ReportRow> rows,
                               std::wstring_view countingSince, const Log& log) const {
    const std::string page = BuildReportPage(rows, countingSince, EncodeGbk);
    for (const std::wstring& folder : {programFolder_, TemporaryFolder()}) {
        if (folder.empty()) continue;
        std::wstring path = folder;
        if (path.back() != L'\\') path += L'\\';
        path += kFileName;
        if (!WriteWholeFile(path, page)) continue;
        // Whether the shell could open it is not reported.
        win::ShellOpen(owner, path, SW_SHOWNORMAL);
        return path;
    }
    if (log) log(kCannotOpen);
    return {};
}

std::vector<ReportRow> HtmlReport::ShownRows(const widgets::CListViewEx& list) {
    std::vector<ReportRow> rows;
    const int count = ListView_GetItemCount(list.Hwnd());
    rows.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int i = 0; i < count; ++i) {
        rows.push_back({list.ItemText(i, 0), list.ItemText(i, 1), list.ItemText(i, 2),
                        list.ItemText(i, 3), list.ItemText(i, 4), list.ItemText(i, 5)});
    }
    return rows;
}

}  // namespace hourlink
