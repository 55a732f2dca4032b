// The HTML report's page: the sessions the history list shows, as a table under
// the counting-since title, with the number of sessions and the time they used
// at its foot. The page is written in the code page its encoder converts to
// (GBK) and says so in a meta element, so a browser on any system reads it
// right. Cell texts are escaped, and a character the code page lacks is written
// as a numeric character reference instead of a guess.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace hourlink {

// The cells of one listed session, as the history list shows them.
struct ReportRow {
    std::wstring start;
    std::wstring end;
    std::wstring duration;  // "h:mm:ss", or blanks while the session runs
    std::wstring name;
    std::wstring minutes;  // billed minutes, or blanks while the session runs
    std::wstring type;
};

// Appends `text` converted to the page's code page to `bytes` and returns true;
// returns false, appending nothing, when a character has no place in it.
using PageEncoder = std::function<bool(std::wstring_view text, std::string& bytes)>;

// The whole page for `rows` in list order, titled `countingSince`.
std::string BuildReportPage(std::span<const ReportRow> rows, std::wstring_view countingSince,
                            const PageEncoder& encode);

// Appends `text` as page text: <, > and & as entities, characters the code page
// lacks as "&#N;" with their code point.
void AppendPageText(std::wstring_view text, const PageEncoder& encode, std::string& bytes);

}  // namespace hourlink
