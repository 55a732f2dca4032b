// libFuzzer target for the HTML report's text escaping. The input is UTF-16
// text (two bytes a unit): for AppendPageText as it is; for the whole page,
// cut at U+001F into the title and the rows' six cells.
//
// The code page is stood in for by an encoder that knows ASCII and the CJK
// block and writes a character of the block as 0xFF and four hex digits, so
// the page can be read back: it must give the text again (a lone surrogate as
// U+FFFD), and no text may add markup to the page.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/history/report_page.h"
#include "fuzz_support.h"

using namespace hourlink;

namespace {

bool Encode(std::wstring_view text, std::string& bytes) {
    std::string out;
    for (const wchar_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c >= 0x4E00 && c <= 0x9FA5) {
            char hex[6];
            std::snprintf(hex, sizeof hex, "\xFF%04X", static_cast<unsigned>(c));
            out += hex;
        } else {
            return false;
        }
    }
    bytes += out;
    return true;
}

bool IsHigh(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The text a reader of the page should see: lone surrogates replaced.
std::wstring Expected(std::wstring_view text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
            out += text.substr(i, 2);
            ++i;
        } else {
            out += IsHigh(text[i]) || IsLow(text[i]) ? L'\xFFFD' : text[i];
        }
    }
    return out;
}

// Reads page text back; no raw markup character may occur in it.
std::wstring ReadBack(std::string_view bytes) {
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        FUZZ_REQUIRE(c != '<' && c != '>');
        if (c == 0xFF) {
            FUZZ_REQUIRE(i + 4 < bytes.size());
            text +=
                static_cast<wchar_t>(std::stoul(std::string(bytes.substr(i + 1, 4)), nullptr, 16));
            i += 5;
        } else if (c == '&') {
            const std::size_t end = bytes.find(';', i);
            FUZZ_REQUIRE(end != std::string_view::npos);
            const std::string_view entity = bytes.substr(i + 1, end - i - 1);
            if (entity == "lt") {
                text += L'<';
            } else if (entity == "gt") {
                text += L'>';
            } else if (entity == "amp") {
                text += L'&';
            } else {
                FUZZ_REQUIRE(entity.size() > 1 && entity.size() <= 8 && entity[0] == '#');
                unsigned long code = 0;
                for (const char digit : entity.substr(1)) {
                    FUZZ_REQUIRE(digit >= '0' && digit <= '9');
                    code = code * 10 + static_cast<unsigned long>(digit - '0');
                }
                FUZZ_REQUIRE(code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF));
                if (code > 0xFFFF) {
                    text += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
                    text += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
                } else {
                    text += static_cast<wchar_t>(code);
                }
            }
            i = end + 1;
        } else {
            text += static_cast<wchar_t>(c);
            ++i;
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::Utf16Text(data, size);
    std::string bytes;
    AppendPageText(text, Encode, bytes);
    FUZZ_REQUIRE(ReadBack(bytes) == Expected(text));

    std::vector<std::wstring> cells{L""};
    for (const wchar_t c : text) {
        if (c == L'\x1F') {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    std::vector<ReportRow> rows((cells.size() - 1 + 5) / 6);
    for (std::size_t i = 1; i < cells.size(); ++i) {
        ReportRow& row = rows[(i - 1) / 6];
        std::wstring* fields[] = {&row.name, &row.type,     &row.start,
                                  &row.end,  &row.duration, &row.minutes};
        *fields[(i - 1) % 6] = std::move(cells[i]);
    }
    const std::string page = BuildReportPage(rows, cells[0], Encode);
    // The same rows with blank cells: the texts must not have added a tag.
    std::vector<ReportRow> blank(rows.size());
    const std::string frame = BuildReportPage(blank, L"", Encode);
    FUZZ_REQUIRE(std::count(page.begin(), page.end(), '<') ==
                 std::count(frame.begin(), frame.end(), '<'));
    return 0;
}
