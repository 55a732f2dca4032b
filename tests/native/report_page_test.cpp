// The HTML report's page bytes: layout, escaping, references for characters
// the code page lacks, and the totals at its foot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/history/history_list.h"
#include "core/history/report_page.h"

namespace hourlink {
namespace {

// UTF-8 in place of GBK, so the expected pages read as text; 'ñ' and the
// Hangul syllables stand for what GBK lacks.
bool FakeEncode(std::wstring_view text, std::string& bytes) {
    std::string out;
    for (wchar_t c : text) {
        const auto u = static_cast<std::uint32_t>(c);
        if (u == 0xF1 || (u >= 0xAC00 && u <= 0xD7A3)) return false;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            return false;
        }
    }
    bytes += out;
    return true;
}

std::string Page(const std::vector<ReportRow>& rows) {
    return BuildReportPage(rows, L"从2024/3/21开始计时", FakeEncode);
}

const std::string kHead =
    "<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">"
    "<title>从2024/3/21开始计时</title>\r\n"
    "<body bgcolor=#FFFFFF><p align=center><b>从2024/3/21开始计时"
    "<br><a href=\"javascript:window.print()\">打印本页</a></b></p>"
    "<table width=90% border=1 align=center cellpadding=2 cellspacing=1 bordercolor=#CCCCFF>"
    "<tr><td align=center width=23%>名称</td><td align=center width=10%>类型</td>"
    "<td align=center width=23%>开始时间</td><td align=center width=23%>结束时间</td>"
    "<td align=center width=10%>实际用时</td><td align=center width=5%>分钟用时</td></tr>";

TEST(HtmlReportPage, EmptyMonthIsHeadAndZeroFoot) {
    EXPECT_EQ(Page({}), kHead + "</table>\r\n<p>共0项 共使用0秒 共使用0分钟");
}

TEST(HtmlReportPage, RowsAreEscapedAndSummedButARunningSessionAddsNothing) {
    const std::wstring open(kOpenCell);
    const std::vector<ReportRow> rows = {
        {L"2024/03/22 08:00:00", L"2024/03/22 09:00:00", L"1:00:00", L"A<B>&C", L"60", L"宽带上网"},
        {L"2024/03/23 20:00:00", L"2024/03/23 20:30:15", L"0:30:15", L"Españ한 \U0001F600", L"31",
         L"拨号上网"},
        {L"2024/03/24 07:00:00", open, open, L"vpn", open, L"VPN上网"},
    };
    EXPECT_EQ(Page(rows),
              kHead +
                  "<tr>\r\n<td>A&lt;B&gt;&amp;C</td><td>宽带上网</td><td>2024/03/22 08:00:00</td>"
                  "<td>2024/03/22 09:00:00</td><td>1:00:00</td><td>60</td>"
                  "<tr>\r\n<td>Espa&#241;&#54620; &#128512;</td><td>拨号上网</td>"
                  "<td>2024/03/23 20:00:00</td><td>2024/03/23 20:30:15</td><td>0:30:15</td>"
                  "<td>31</td>"
                  "<tr>\r\n<td>vpn</td><td>VPN上网</td><td>2024/03/24 07:00:00</td><td>" +
                  std::string(kOpenCell.size(), ' ') + "</td><td>" +
                  std::string(kOpenCell.size(), ' ') + "</td><td>" +
                  std::string(kOpenCell.size(), ' ') +
                  "</td>"
                  "</table>\r\n<p>共3项 共使用5415秒 共使用91分钟");
}

TEST(HtmlReportPage, LongSessionsCountAllTheirMinutes) {
    const std::vector<ReportRow> rows = {
        {L"", L"", L"20:00:00", L"a", L"1200", L""},
        {L"", L"", L"208:20:00", L"b", L"12500", L""},
    };
    const std::string page = Page(rows);
    EXPECT_TRUE(page.ends_with("共2项 共使用822000秒 共使用13700分钟")) << page;
}

}  // namespace
}  // namespace hourlink
