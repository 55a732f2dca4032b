#include "core/history/session_csv.h"

#include <cstdio>

#include "core/base/time_format.h"
#include "core/base/utf8.h"
#include "core/history/history_list.h"

namespace hourlink {

std::string SessionCsvHeader() {
    return "开始时间,结束时间,上网秒数,上网用时,上网分钟,类型,名称,客户机IP,接受字节,发送字节";
}

std::string CsvField(std::string_view text) {
    // A spreadsheet reads a cell that starts with one of these as a formula: a
    // connection name like "=HYPERLINK(...)" would run as one. A leading
    // apostrophe makes it text, and the spreadsheet does not show it.
    std::string cell;
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
        cell = '\'';
    }
    cell += text;
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string IsoLocalTime(std::int64_t seconds) {
    const auto tm = ToLocalTime(seconds);
    if (!tm) return {};
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", tm->tm_year + 1900,
                  tm->tm_mon + 1, tm->tm_mday, tm->tm_hour, tm->tm_min, tm->tm_sec);
    return buffer;
}

std::string DurationText(std::int64_t seconds) {
    return WideToUtf8(FormatDuration(seconds));
}

std::string SessionCsvLine(const SessionRecord& r, const GbkDecoder& decodeName) {
    const bool finished = r.end > r.start;
    std::string line = IsoLocalTime(r.start);
    line += ',';
    if (finished) {
        line += IsoLocalTime(r.end) + ',' + std::to_string(r.duration) + ',' +
                DurationText(r.duration) + ',' + std::to_string(r.billed / 60);
    } else {
        line += ",,,";
    }
    line += ',' + WideToUtf8(ConnectionTypeName(r.type));
    line += ',' + CsvField(decodeName ? decodeName(r.Name()) : std::string(r.Name()));
    line += ',' + CsvField(r.ClientIp());
    line += ',' + std::to_string(r.bytesReceived) + ',' + std::to_string(r.bytesSent);
    return line;
}

std::string SessionCsv(std::span<const SessionRecord> records, const GbkDecoder& decodeName,
                       bool bom) {
    std::string csv = bom ? std::string(kUtf8Bom) : std::string();
    csv += SessionCsvHeader() + "\r\n";
    for (const SessionRecord& r : records) csv += SessionCsvLine(r, decodeName) + "\r\n";
    return csv;
}

}  // namespace hourlink
