#include "core/history/report_page.h"

#include <cstdio>
#include <cwchar>

#include "core/history/history_list.h"

namespace hourlink {

namespace {

bool IsHighSurrogate(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Converts a run of text; when some character of it has no place in the code
// page, converts it character by character (a surrogate pair is one) and
// writes each one that fails as a numeric reference.
void AppendRun(std::wstring_view run, const PageEncoder& encode, std::string& bytes) {
    if (run.empty() || encode(run, bytes)) return;
    for (std::size_t i = 0; i < run.size();) {
        std::size_t width = 1;
        auto codePoint = static_cast<std::uint32_t>(run[i]);
        if (IsHighSurrogate(run[i]) && i + 1 < run.size() && IsLowSurrogate(run[i + 1])) {
            width = 2;
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) +
                        (static_cast<std::uint32_t>(run[i + 1]) - 0xDC00);
        }
        if (!encode(run.substr(i, width), bytes)) {
            // A lone surrogate is no character: the replacement character stands in.
            if (codePoint >= 0xD800 && codePoint <= 0xDFFF) codePoint = 0xFFFD;
            bytes += "&#" + std::to_string(codePoint) + ';';
        }
        i += width;
    }
}

}  // namespace

void AppendPageText(std::wstring_view text, const PageEncoder& encode, std::string& bytes) {
    while (!text.empty()) {
        const std::size_t special = text.find_first_of(L"<>&");
        AppendRun(text.substr(0, special), encode, bytes);
        if (special == std::wstring_view::npos) return;
        bytes += text[special] == L'<' ? "&lt;" : text[special] == L'>' ? "&gt;" : "&amp;";
        text.remove_prefix(special + 1);
    }
}

std::string BuildReportPage(std::span<const ReportRow> rows, std::wstring_view countingSince,
                            const PageEncoder& encode) {
    std::string page;
    const auto markup = [&](std::wstring_view text) { AppendRun(text, encode, page); };
    const auto text = [&](std::wstring_view cell) { AppendPageText(cell, encode, page); };

    markup(L"<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\"><title>");
    text(countingSince);
    markup(L"</title>\r\n<body bgcolor=#FFFFFF><p align=center><b>");
    text(countingSince);
    markup(
        L"<br><a href=\"javascript:window.print()\">打印本页</a></b></p>"
        L"<table width=90% border=1 align=center cellpadding=2 cellspacing=1 "
        L"bordercolor=#CCCCFF>"
        L"<tr>"
        L"<td align=center width=23%>名称</td>"
        L"<td align=center width=10%>类型</td>"
        L"<td align=center width=23%>开始时间</td>"
        L"<td align=center width=23%>结束时间</td>"
        L"<td align=center width=10%>实际用时</td>"
        L"<td align=center width=5%>分钟用时</td>"
        L"</tr>");

    // The same sums as the list's own "计算总时间": a running session counts
    // as an item, its blank cells add nothing.
    SelectionTotals totals;
    for (const ReportRow& row : rows) {
        markup(L"<tr>\r\n");
        for (const std::wstring* cell :
             {&row.name, &row.type, &row.start, &row.end, &row.duration, &row.minutes}) {
            markup(L"<td>");
            text(*cell);
            markup(L"</td>");
        }
        totals.Add(row.duration, row.minutes);
    }

    wchar_t foot[160];
    std::swprintf(foot, 160, L"</table>\r\n<p>共%d项 共使用%lld秒 共使用%lld分钟", totals.Count(),
                  static_cast<long long>(totals.Seconds()),
                  static_cast<long long>(totals.Minutes()));
    markup(foot);
    return page;
}

}  // namespace hourlink
