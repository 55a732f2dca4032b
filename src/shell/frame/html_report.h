// "生成HTML报表": writes the sessions the history list shows into
// "rpt_temp.htm" and opens it with the shell, from where it can be printed.
// The file goes beside the program; where the program's folder cannot be
// written (Program Files for a standard user) it goes to the user's temporary
// folder. A page that cannot be written whole is never opened.
#pragma once

#include <windows.h>

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/history/report_page.h"
#include "shell/widgets/list_view_ex.h"

namespace hourlink {

class HtmlReport {
  public:
    static constexpr std::wstring_view kFileName = L"rpt_temp.htm";
    static constexpr std::wstring_view kCannotOpen = L"不能打开HTML报表文件";
    // Appends a text to the log pane.
    using Log = std::function<void(std::wstring_view)>;

    // `programFolder` (ending in a backslash) is for tests; the program's own
    // folder otherwise.
    HtmlReport();
    explicit HtmlReport(std::wstring programFolder);

    // Writes the page of `rows` titled `countingSince` and hands it to the
    // shell. When no folder takes the whole page, logs kCannotOpen and opens
    // nothing. Returns the path written, empty on failure.
    std::wstring Write(HWND owner, std::span<const ReportRow> rows, std::wstring_view countingSince,
                       const Log& log) const;

    // The rows `list` shows, in its order: its first six columns (start, end,
    // time online, name, minutes, type).
    static std::vector<ReportRow> ShownRows(const widgets::CListViewEx& list);

  private:
    std::wstring programFolder_;
};

}  // namespace hourlink
