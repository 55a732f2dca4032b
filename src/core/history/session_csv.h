// Session records as CSV text, for the "导出CSV..." command and the console
// reader: UTF-8 (with a byte-order mark for a file, so spreadsheet programs
// take it as UTF-8), a header line, CRLF line ends and RFC 4180 quoting. One
// line per record: start and end as ISO 8601 local times, the duration in
// seconds and as h:mm:ss, the billed minutes, the type, the name (GBK in the
// record, converted by the caller's decoder), the client address and the bytes
// received and sent. A record that is still open has empty end, duration and
// minutes cells, as the list shows blanks.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "core/base/session_record.h"

namespace hourlink {

// Converts a record's GBK name bytes to UTF-8.
using GbkDecoder = std::function<std::string(std::string_view gbk)>;

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The header line, without its line end.
std::string SessionCsvHeader();
// One record's line, without its line end.
std::string SessionCsvLine(const SessionRecord& record, const GbkDecoder& decodeName);
// The whole text: the byte-order mark when `bom`, the header, one line per
// record in the order given.
std::string SessionCsv(std::span<const SessionRecord> records, const GbkDecoder& decodeName,
                       bool bom = true);

// A field as RFC 4180 writes it: quoted (inner quotes doubled) when it holds
// a comma, a quote or a line break; one a spreadsheet would take for a formula
// (starting with =, +, -, @, a tab or a carriage return) gets an apostrophe first.
std::string CsvField(std::string_view text);

// "2026-12-10T09:00:00": a moment as ISO 8601 local date and time; empty when
// the C library cannot represent it.
std::string IsoLocalTime(std::int64_t seconds);

// "h:mm:ss" of a duration, hours not wrapped (as the list shows it), in ASCII.
std::string DurationText(std::int64_t seconds);

}  // namespace hourlink
