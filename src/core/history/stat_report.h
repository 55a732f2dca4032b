// hourlink-stat, the console reader of the record file "adsl.bs": everything it
// decides, apart from the system it runs on. It reads the file read-only (never
// writes it), decodes it with the program's own decoding (base/session_record),
// selects an accounting month, a range of days or every record, and prints the
// sessions with a summary as text, CSV or JSON.
//
// The platform (stat/posix_stat_main.cpp, stat/win32_stat_main.cpp) supplies the
// file's bytes, the GBK decoder, the clock, the two output streams, its own
// folder and, on Windows, the program's settings, read only.
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
#include "core/settings/settings_store.h"

namespace hourlink::stat {

// Exit codes.
enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,       // the command line could not be understood
    kExitCannotRead = 2,  // the file is missing or cannot be read
    kExitDamaged = 3,     // the file cannot be read as records at all
    kExitOutput = 4,      // the standard output could not be written
};

// The version of the JSON output's shape, its "version" key: raised when a key
// is removed or changes its meaning.
inline constexpr int kJsonVersion = 1;

// The program version hourlink-stat belongs to ("2.21.0").
std::string_view ProgramVersion();

enum class Format { kText, kCsv, kJson };
// What is printed: the sessions of a selection, or one line per accounting
// month of the whole file (--summary).
enum class Selection { kCurrentMonth, kMonth, kAll, kRange, kSummary };

struct Options {
    std::optional<std::string> path;  // UTF-8; else where the program keeps it
    Format format = Format::kText;
    Selection selection = Selection::kCurrentMonth;
    YearMonth month;                   // kMonth
    std::optional<int> startDay;       // else Property/StartDate, else 21
    std::optional<CalendarDate> from;  // kRange: first day included
    std::optional<CalendarDate> to;    // kRange: last day included
    // --allowance in bytes, 0 for none; else Property/DataLimit where the
    // program keeps settings.
    std::optional<std::int64_t> allowance;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the command line was understood
};
// `args` without the program's name, UTF-8.
ParsedOptions ParseArguments(std::span<const std::string> args);

std::string HelpText();

// Which file and start day were used, and why: said in the heading of the text
// output and in the JSON.
enum class FileSource {
    kArgument,       // named on the command line
    kSetting,        // the Directory setting's folder
    kProgramFolder,  // the program's (and hourlink-stat's) own folder
    kLocalFolder,    // the user's local folder the program moved its records to
    kCurrentFolder,
};
enum class DaySource {
    kArgument,    // --start-day
    kSetting,     // Property/StartDate
    kDefault,     // the program's settings hold no start day
    kNoSettings,  // no program settings on this system
};
enum class AllowanceSource {
    kArgument,  // --allowance
    kSetting,   // Property/DataLimit
};
struct Origin {
    std::string path;  // UTF-8
    FileSource file = FileSource::kArgument;
    int startDay = 21;
    DaySource day = DaySource::kArgument;
    // The monthly data allowance in bytes, 0 when none is known: then every
    // output is as it is without one.
    std::int64_t allowance = 0;
    AllowanceSource allowanceSource = AllowanceSource::kArgument;
};

// The records of a file, decoded; or why it is not a record file.
struct FileContents {
    RecordFileHeader header;
    std::vector<SessionRecord> records;
};
struct DecodeResult {
    std::optional<FileContents> contents;
    std::string error;    // a sentence for the user when there are no contents
    std::string warning;  // what is missing, when only part could be read
};
// Checks what the program relies on: a whole header, record and header sizes
// of 84 and 32, and each counted record's marker byte. A header that counts
// more records than the file holds whole (a crash between the header's write
// and the record's) keeps the complete ones, as the program lists them, with
// a warning. Bytes after the counted records (a torn last record, or records
// a crash left uncounted) are not read, as the program does not list them
// either.
DecodeResult DecodeRecordFile(std::span<const std::uint8_t> bytes);

// What was selected: a description, the period (none for every record) and
// the records in file order.
struct Selected {
    std::string description;  // "计费月 2026年12月 (2026/11/21 至 2026/12/21)"
    std::optional<Period> period;
    std::vector<SessionRecord> records;
    // An accounting month: the only selection a monthly allowance is
    // measured against.
    bool accountingMonth = false;
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

// A month's bytes, received and sent of every session listed, against an
// allowance of `allowance` bytes (more than 0).
struct AllowanceUse {
    std::int64_t tenthsOfPercent = 0;  // rounded down: 100.0 % only once reached
    bool exceeded = false;             // the bytes reached the allowance
};
AllowanceUse UseOf(const Summary& summary, std::int64_t allowance);

// The summary of every accounting month that lists records, months in order.
// Each month holds what Select lists for it (the history list's month window),
// so a month's figures are the same here and under --month, also for records
// out of time order.
struct MonthSummary {
    YearMonth month;
    Summary summary;
};
std::vector<MonthSummary> SummarizeByMonth(std::span<const SessionRecord> records, int startDay);
std::string FormatMonthsText(std::span<const MonthSummary> months, const Origin& origin);
std::string FormatMonthsCsv(std::span<const MonthSummary> months, std::int64_t allowance = 0);
std::string FormatMonthsJson(std::span<const MonthSummary> months, const Origin& origin);

std::string FormatText(const Selected& selected, const GbkDecoder& decodeName,
                       const Origin& origin);
std::string FormatCsv(const Selected& selected, const GbkDecoder& decodeName);
std::string FormatJson(const Selected& selected, const GbkDecoder& decodeName,
                       const Origin& origin);

// A JSON string literal of text meant as UTF-8: a byte that is not part of
// well-formed UTF-8 (a damaged record's address, a path's raw bytes) is
// written as U+FFFD, so the output is always valid JSON.
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
    // False when the text could not be written whole.
    virtual bool Out(std::string_view utf8) = 0;
    // Writes what the output still buffers; false when that fails.
    virtual bool FlushOut() { return true; }
    virtual void Err(std::string_view utf8) = 0;

    // hourlink-stat's own folder, ending in its separator; empty when unknown.
    virtual std::wstring OwnDirectory() = 0;
    // The program's settings, read only; none where the system keeps none.
    virtual SettingsStore* ProgramSettings() { return nullptr; }
    // What the program's choice of its record folder asks of the system.
    virtual bool CanWriteIn(const std::wstring& directory) = 0;
    virtual std::wstring LocalAppDataDirectory() { return {}; }
};

// Which record files are tried, in order, when none is named: the folder the
// program keeps its records in (the Directory setting, its own folder, or the
// local folder it moved them to), then the current folder. A Directory setting
// is the only place tried: the program reads no other file then.
struct Candidate {
    std::string path;  // UTF-8
    FileSource source;
};
std::vector<Candidate> RecordFileCandidates(const Options& options, Platform& platform);

// The start day used, and why.
Origin StartDayOrigin(const Options& options, Platform& platform);

// The allowance used (Origin::allowance, allowanceSource): --allowance, else
// the program's setting.
void FindAllowance(const Options& options, Platform& platform, Origin& origin);

// The whole program: returns its exit code.
int Run(std::span<const std::string> args, Platform& platform);

}  // namespace hourlink::stat
