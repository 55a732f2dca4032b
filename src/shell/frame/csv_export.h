// "导出CSV...": the sessions the history list shows, in its order, written as a
// CSV file (core/history/session_csv) where the user chooses in the standard save
// dialog. The file is written beside its target under a temporary name and
// then put in its place in one step, so the target is either the old file or
// the whole new one, never half a file; a failure is shown in a message box
// and leaves no temporary file behind.
#pragma once

#include <windows.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/accounting/accounting.h"
#include "core/base/session_record.h"

namespace hourlink {

class CHourlinkView;

class CsvExport {
  public:
    // The command: asks for the file (suggesting "Hourlink-YYYY-MM.csv" of the
    // month shown), writes it, and tells the user when that failed. Returns
    // the path written; empty when cancelled or failed.
    static std::wstring Command(HWND owner, const CHourlinkView& list);

    // The standard save dialog; nothing when the user cancels.
    static std::optional<std::wstring> AskPath(HWND owner, const std::wstring& suggestedName);

    // The file's bytes: UTF-8 with a byte-order mark, names from GBK.
    static std::string Bytes(std::span<const SessionRecord> records);

    // Writes `bytes` to a new file beside `path`, flushes it and moves it over
    // `path`. Returns 0, or the system's error code (nothing is left behind).
    static DWORD WriteReplacing(const std::wstring& path, std::string_view bytes);

    static std::wstring SuggestedName(YearMonth month);
    // "无法导出CSV文件 PATH" and the system's text of `error`.
    static std::wstring FailureText(const std::wstring& path, DWORD error);
};

}  // namespace hourlink
