// hourlink-stat, the console reader of the record file "adsl.bs": everything it
// decides, apart from the system it runs on. It reads the file read-only (never
// writes it), decodes it with the program's own decoding (base/session_record),
// selects an accounting month, a range of days or every record, and prints the
// sessions with a summary as text, CSV or JSON.
//
// The platform (stat/posix_stat_main.cpp, stat/win32_stat_main.cpp) supplies the
// file's bytes, the GBK decoder, the clock and the two output streams.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/accounting/accounting.h"
#include "core/base/session_record.h"
#include "core/history/session_csv.h"

namespace hourlink::stat {

// Exit codes.
enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,       // the command line could not be understood
    kExitCannotRead = 2,  // the file is missing or cannot be read
    kExitDamaged = 3,     // the file is too short or damaged
};

enum class Format { kText, kCsv, kJson };
// What is printed: the sessions of a selection, or one line per accounting
// month of the whole file (--summary).
enum class Selection { kCurrentMonth, kMonth, kAll, kRange, kSummary };

struct Options {
    std::string path = "adsl.bs";  // UTF-8
    Format format = Format::kText;
    Selection selection = Selection::kCurrentMonth;
    YearMonth month;                   // kMonth
    int startDay = 21;                 // the accounting month's first day, Property/StartDate
    std::optional<CalendarDate> from;  // kRange: first day included
    std::optional<CalendarDate> to;    // kRange: last day included
    bool help = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line was understood
};
// `args` without the program's name, UTF-8.
ParsedOptions ParseArguments(std::span<const std::string> args);

std::string HelpText();

// The records of a file, decoded; or why it is not a record file.
struct FileContents {
    RecordFileHeader header;
    std::vector<SessionRecord> records;
};
struct DecodeResult {
    std::optional<FileContents> contents;
    std::string error;  // a sentence for the user when there are no contents
};
// Checks what the program relies on: a whole header, record and header sizes
// of 84 and 32, as many complete records as the header counts, and each
// counted record's marker byte. Bytes after the counted records (a torn last
// record, or records a crash left uncounted) are not read, as the program
// does not list them either.
DecodeResult DecodeRecordFile(std::span<const std::uint8_t> bytes);

// What was selected: a description, the period (none for every record) and
// the records in file order.
struct Selected {
    std::string description;  // "计费月 2026年12月 (2026/11/21 至 2026/12/21)"
    std::optional<Period> period;
    std::vector<SessionRecord> records;
};
// An accounting month is selected with the history list's own rules (its
// month window; records before 1992 are never listed); a range of days by
// start time; kAll takes every record.
Selected Select(const FileContents& contents, const Options& options, std::int64_t now);

// The sums of the history list over the records selected.
struct Summary {
    int sessions = 0;         // finished sessions, summed
    int openSessions = 0;     // not finished: listed, not summed
    std::int64_t online = 0;  // seconds
    std::int64_t billed = 0;  // seconds, whole minutes
    std::uint64_t received = 0;
    std::uint64_t sent = 0;
};
Summary Summarize(std::span<const SessionRecord> records);

// The summary of each accounting month the file's listable records fall in,
// months in order; a record belongs to the month of its start's local date.
struct MonthSummary {
    YearMonth month;
    Summary summary;
};
std::vector<MonthSummary> SummarizeByMonth(std::span<const SessionRecord> records, int startDay);
std::string FormatMonthsText(std::span<const MonthSummary> months, int startDay);
std::string FormatMonthsCsv(std::span<const MonthSummary> months);
std::string FormatMonthsJson(std::span<const MonthSummary> months, int startDay);

std::string FormatText(const Selected& selected, const GbkDecoder& decodeName,
                       std::string_view path);
std::string FormatCsv(const Selected& selected, const GbkDecoder& decodeName);
std::string FormatJson(const Selected& selected, const GbkDecoder& decodeName,
                       std::string_view path, int startDay);

// A JSON string literal of UTF-8 text.
std::string JsonString(std::string_view text);

// What the program runs on.
class Platform {
  public:
    virtual ~Platform() = default;
    struct FileRead {
        bool found = false;  // the file exists
        std::vector<std::uint8_t> bytes;
        std::string error;  // why it could not be read; empty on success
    };
    // The whole file, opened for reading only and sharing it with a running
    // Hourlink, which keeps it open for writing.
    virtual FileRead ReadFile(const std::string& path) = 0;
    virtual std::string GbkToUtf8(std::string_view gbk) = 0;
    virtual std::int64_t Now() = 0;
    virtual void Out(std::string_view utf8) = 0;
    virtual void Err(std::string_view utf8) = 0;
};

// The whole program: returns its exit code.
int Run(std::span<const std::string> args, Platform& platform);

}  // namespace hourlink::stat
