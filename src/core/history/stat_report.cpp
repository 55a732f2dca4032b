#include "core/history/stat_report.h"

#include <cstdio>
#include <limits>
#include <set>
#include <utility>

#include "core/accounting/data_allowance.h"
#include "core/base/file_system.h"
#include "core/base/time_format.h"
#include "core/base/utf8.h"
#include "core/history/history_list.h"
#include "core/settings/settings.h"

#ifndef HOURLINK_PROGRAM_VERSION
#define HOURLINK_PROGRAM_VERSION "0.0.0"
#endif

namespace hourlink::stat {

namespace {

constexpr const char* kOneSelection = "--month、--all、--summary 与 --from/--to 只能选一种";

std::string Printf(const char* format, auto... values) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

// Digits only, at most 9 of them.
std::optional<int> Number(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The years a 32-bit record time can name.
bool IsRecordYear(int year) {
    return year >= 1970 && year <= 2106;
}

std::optional<YearMonth> ParseMonth(std::string_view text) {
    if (text.size() != 7 || text[4] != '-') return std::nullopt;
    const auto year = Number(text.substr(0, 4));
    const auto month = Number(text.substr(5, 2));
    if (!year || !month || !IsRecordYear(*year) || *month < 1 || *month > 12) return std::nullopt;
    return YearMonth{*year, *month};
}

std::optional<CalendarDate> ParseDate(std::string_view text) {
    if (text.size() != 10 || text[7] != '-') return std::nullopt;
    const auto ym = ParseMonth(text.substr(0, 7));
    const auto day = Number(text.substr(8, 2));
    if (!ym || !day || *day < 1 || *day > DaysInMonth(ym->year, ym->month)) return std::nullopt;
    return CalendarDate{ym->year, ym->month, *day};
}

std::string LocalText(std::int64_t t) {
    return WideToUtf8(FormatLocalTime(t));
}

// "2026/11/21" of a local midnight.
std::string DateText(std::int64_t t) {
    return LocalText(t).substr(0, 10);
}

std::string DateText(const CalendarDate& d) {
    return Printf("%04d/%02d/%02d", d.year, d.month, d.day);
}

// Columns of a terminal: a character of three or four UTF-8 bytes (the
// Chinese texts) takes two.
std::size_t DisplayWidth(std::string_view text) {
    std::size_t width = 0;
    for (unsigned char c : text) {
        if (c < 0x80) {
            ++width;
        } else if (c >= 0xC0) {
            width += c >= 0xE0 ? 2 : 1;
        }
    }
    return width;
}

std::string PadRight(std::string text, std::size_t width) {
    const std::size_t w = DisplayWidth(text);
    if (w < width) text.append(width - w, ' ');
    return text;
}

std::string PadLeft(const std::string& text, std::size_t width) {
    const std::size_t w = DisplayWidth(text);
    return w < width ? std::string(width - w, ' ') + text : text;
}

std::string Name(const SessionRecord& r, const GbkDecoder& decodeName) {
    return decodeName ? decodeName(r.Name()) : std::string(r.Name());
}

// What the heading says of a source, and its JSON name; in the enums' order.
struct SourceName {
    const char* text;
    const char* key;
};
constexpr SourceName kFileSources[] = {
    {"命令行给出", "argument"},
    {"选项中设置的记录文件夹", "directory_setting"},
    {"程序所在的文件夹", "program_folder"},
    {"程序保存记录的本地文件夹", "local_folder"},
    {"当前文件夹", "current_folder"},
};
constexpr SourceName kDaySources[] = {
    {"命令行给出", "argument"},
    {"选项中的设置", "setting"},
    {"默认值，选项中尚未设置", "default"},
    {"默认值，此系统上没有 Hourlink 的设置", "default"},
};
const SourceName& Name(FileSource source) {
    return kFileSources[static_cast<int>(source)];
}
constexpr SourceName kAllowanceSources[] = {
    {"命令行给出", "argument"},
    {"选项中的设置", "setting"},
};
const SourceName& Name(DaySource source) {
    return kDaySources[static_cast<int>(source)];
}
const SourceName& Name(AllowanceSource source) {
    return kAllowanceSources[static_cast<int>(source)];
}

// "2 GB", "1.5 GB": the allowance as the options show it.
std::string AllowanceText(std::int64_t allowance) {
    return WideToUtf8(GigabytesText(static_cast<int>(allowance / kBytesPerMegabyte))) + " GB";
}

// "61.5": a share in tenths of a percent, as text and as a JSON number.
std::string PercentText(std::int64_t tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::uint64_t Bytes(const Summary& s) {
    return s.received + s.sent;
}

// "记录文件 D:\Hourlink\adsl.bs (程序所在的文件夹)，计费月从每月 21 日开始 (选项中的设置)"
std::string OriginLine(const Origin& origin) {
    return "记录文件 " + origin.path + " (" + Name(origin.file).text + ")，计费月从每月 " +
           std::to_string(origin.startDay) + " 日开始 (" + Name(origin.day).text + ")\n";
}

// The keys every JSON output starts with, up to the open selection object.
std::string JsonHead(const Origin& origin, std::string_view description) {
    return "{\n  \"version\": " + std::to_string(kJsonVersion) + ",\n  \"file\": " +
           JsonString(origin.path) + ",\n  \"file_source\": \"" + Name(origin.file).key +
           "\",\n  \"selection\": {\"description\": " + JsonString(description) +
           ", \"start_day\": " + std::to_string(origin.startDay) +
           ", \"start_day_source\": \"" + Name(origin.day).key + "\"";
}

// The selection's allowance keys; nothing when there is none.
std::string JsonAllowance(const Origin& origin) {
    if (origin.allowance <= 0) return {};
    return ", \"allowance_bytes\": " + std::to_string(origin.allowance) +
           ", \"allowance_source\": \"" + Name(origin.allowanceSource).key + "\"";
}

// A month's keys of its use of the allowance; nothing when there is none.
std::string JsonUse(const Summary& s, std::int64_t allowance) {
    if (allowance <= 0) return {};
    const AllowanceUse use = UseOf(s, allowance);
    return ", \"allowance_used_percent\": " + PercentText(use.tenthsOfPercent) +
           ", \"allowance_exceeded\": " + (use.exceeded ? "true" : "false");
}

}  // namespace

std::string_view ProgramVersion() {
    return HOURLINK_PROGRAM_VERSION;
}

ParsedOptions ParseArguments(std::span<const std::string> args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    bool chosen = false;  // --month, --all or a range given
    const auto fail = [&](std::string error) {
        parsed.error = std::move(error);
        return parsed;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                hasValue = true;
            }
        }
        const auto needValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        const auto choose = [&](Selection selection) {
            if (chosen && o.selection != selection) return false;
            chosen = true;
            o.selection = selection;
            return true;
        };
        const bool flag = arg == "-h" || arg == "--help" || arg == "/?" || arg == "--version" ||
                          arg == "--all" || arg == "--summary" || arg == "--csv" ||
                          arg == "--json";
        // An option without a value refuses one: "--json=false" printing JSON
        // would do the opposite of what was asked.
        if (flag && hasValue) return fail("选项 " + arg + " 不带值: \"" + args[i] + "\"");
        if (arg == "-h" || arg == "--help" || arg == "/?") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--month") {
            if (!needValue()) return fail("--month 需要一个月份，例如 --month 2026-12");
            const auto month = ParseMonth(value);
            if (!month) return fail("无法识别的月份 \"" + value + "\"，应写作 YYYY-MM");
            if (!choose(Selection::kMonth)) return fail(kOneSelection);
            o.month = *month;
        } else if (arg == "--start-day") {
            if (!needValue()) return fail("--start-day 需要一个 1 到 30 的日子");
            const auto day = Number(value);
            if (!day || *day < 1 || *day > 30) {
                return fail("计费月的开始日应在 1 到 30 之间，而不是 \"" + value + "\"");
            }
            o.startDay = *day;
        } else if (arg == "--allowance") {
            if (!needValue())
                return fail("--allowance 需要每月的流量限额 (GB)，例如 --allowance 2.5");
            const auto megabytes = ParseGigabytes(Utf8ToWide(value));
            if (!megabytes) {
                return fail("无法识别的流量限额 \"" + value +
                            "\"，应为 0 到 10000 之间的 GB 数，最多三位小数 (0 表示没有限额)");
            }
            o.allowance = std::int64_t{*megabytes} * kBytesPerMegabyte;
        } else if (arg == "--all") {
            if (!choose(Selection::kAll)) return fail(kOneSelection);
        } else if (arg == "--summary") {
            if (!choose(Selection::kSummary)) return fail(kOneSelection);
        } else if (arg == "--csv" || arg == "--json") {
            o.format = arg == "--csv" ? Format::kCsv : Format::kJson;
        } else if (arg == "--from" || arg == "--to") {
            if (!needValue()) return fail(arg + " 需要一个日期，例如 " + arg + " 2026-12-01");
            const auto date = ParseDate(value);
            if (!date) return fail("无法识别的日期 \"" + value + "\"，应写作 YYYY-MM-DD");
            if (!choose(Selection::kRange)) return fail(kOneSelection);
            (arg == "--from" ? o.from : o.to) = *date;
        } else if (arg == "--format") {
            if (!needValue()) return fail("--format 需要 text、csv 或 json");
            if (value == "text") {
                o.format = Format::kText;
            } else if (value == "csv") {
                o.format = Format::kCsv;
            } else if (value == "json") {
                o.format = Format::kJson;
            } else {
                return fail("未知的输出格式 \"" + value + "\"，可用 text、csv 或 json");
            }
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return fail("未知的选项 \"" + args[i] + "\"");
        } else {
            if (o.path) return fail("只能读一个记录文件");
            o.path = arg;
        }
    }
    if (o.from && o.to) {
        const auto a = FromLocalTime(o.from->year, o.from->month, o.from->day, 0, 0, 0);
        const auto b = FromLocalTime(o.to->year, o.to->month, o.to->day, 0, 0, 0);
        if (a && b && *b < *a) return fail("--to 的日期早于 --from 的日期");
    }
    return parsed;
}

std::string HelpText() {
    return "用法: hourlink-stat [选项] [记录文件]\n"
           "\n"
           "读取 Hourlink 的上网记录文件 adsl.bs (只读，不作任何修改)，\n"
           "列出所选时段的每次上网和合计。\n"
           "\n"
           "  记录文件             不给出时，在 Hourlink 保存记录的地方查找 adsl.bs:\n"
           "                       选项中设置的记录文件夹 (注册表中的 Directory);\n"
           "                       未设置时为程序所在的文件夹 (该文件夹不能写入时，\n"
           "                       为程序保存记录的本地文件夹); 都没有时为当前文件夹\n"
           "  --month YYYY-MM      列出该计费月 (默认为今天所在的计费月)\n"
           "  --start-day N        计费月从每月第 N 日开始, 1-30。不给出时读取选项中的\n"
           "                       每月开始日 (注册表中的 Property/StartDate)，\n"
           "                       未设置或没有 Hourlink 的设置 (非 Windows 系统) 时为 21\n"
           "  --from YYYY-MM-DD    列出从该日起开始的上网 (本地时间)\n"
           "  --to YYYY-MM-DD      列出到该日为止开始的上网 (含该日)\n"
           "  --all                列出文件中的全部记录\n"
           "  --summary            每个计费月一行: 次数、上网用时、计费分钟与字节数\n"
           "  --allowance GB       每月的流量限额 (1 GB 为 10^9 字节，可带小数，0 表示没有)。\n"
           "                       不给出时读取选项中的每月流量限额 (注册表中的\n"
           "                       Property/DataLimit; 非 Windows 系统上没有)。有限额时，\n"
           "                       --summary 的每个计费月以及计费月的 JSON 合计给出\n"
           "                       接受与发送字节之和占限额的百分比和是否已达到限额\n"
           "  --format FORMAT      输出格式: text (默认)、csv 或 json\n"
           "  --csv, --json        即 --format csv、--format json\n"
           "  -h, --help           显示本说明\n"
           "  --version            显示版本\n"
           "\n"
           "文字输出的第一行和 JSON 输出 (\"file\"、\"file_source\"、\"selection\" 中的\n"
           "\"start_day\"、\"start_day_source\") 说明所用的记录文件和开始日及其来源;\n"
           "有流量限额时，JSON 的 \"selection\" 中的 \"allowance_bytes\"、\n"
           "\"allowance_source\" 说明限额及其来源。\n"
           "JSON 的 \"version\" 为输出格式的版本，现为 " +
           std::to_string(kJsonVersion) +
           "。\n"
           "\n"
           "安装程序可将程序所在的文件夹加入当前用户的 PATH，之后在任何命令行窗口中\n"
           "都可以直接运行 hourlink-stat。\n"
           "\n"
           "文件头记载的记录多于文件中完整的记录时 (程序在写入记录时中断)，列出完整的\n"
           "记录，并在标准错误上警告。\n"
           "\n"
           "退出码: 0 成功; 1 命令行有误; 2 找不到或无法读取文件;\n"
           "3 文件无法作为记录读取 (太短、长度不对或记录已损坏); 4 无法写入标准输出。\n";
}

DecodeResult DecodeRecordFile(std::span<const std::uint8_t> bytes) {
    DecodeResult result;
    if (bytes.size() < kHeaderSize) {
        result.error =
            Printf("记录文件太短: 只有 %zu 字节，而文件头就需要 %zu 字节，这不是一个完整的记录文件",
                   bytes.size(), kHeaderSize);
        return result;
    }
    FileContents contents;
    contents.header = DecodeHeader(bytes.data());
    const RecordFileHeader& h = contents.header;
    if (h.headerSize != kHeaderSize || h.recordSize != kRecordSize) {
        result.error =
            Printf("记录文件已损坏: 文件头记载的文件头长度为 %u、记录长度为 %u (应为 %zu 和 %zu)",
                   h.headerSize, h.recordSize, kHeaderSize, kRecordSize);
        return result;
    }
    const std::size_t complete = (bytes.size() - kHeaderSize) / kRecordSize;
    const std::uint32_t count =
        h.recordCount > complete ? static_cast<std::uint32_t>(complete) : h.recordCount;
    if (h.recordCount > complete) {
        result.warning = Printf(
            "警告: 文件头记载有 %u 条记录，但文件中只有 %zu 条完整的记录 (少 %zu 条)，"
            "只列出这 %zu 条",
            h.recordCount, complete, h.recordCount - complete, complete);
    }
    contents.records.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* at = bytes.data() + kHeaderSize + std::size_t{i} * kRecordSize;
        SessionRecord r = DecodeRecord(at);
        if (r.marker != kRecordMarker) {
            result.error =
                Printf("记录文件已损坏: 第 %u 条记录 (文件位置 %zu) 的标记字节为 0x%02X，应为 0x20",
                       i + 1, kHeaderSize + std::size_t{i} * kRecordSize, r.marker);
            return result;
        }
        contents.records.push_back(r);
    }
    result.contents = std::move(contents);
    return result;
}

Selected Select(const FileContents& contents, const Options& o, std::int64_t now) {
    Selected selected;
    const auto& records = contents.records;
    switch (o.selection) {
        case Selection::kAll:
            selected.description = "全部记录";
            selected.records = records;
            return selected;
        case Selection::kRange: {
            std::int64_t begin = std::numeric_limits<std::int64_t>::min();
            std::int64_t end = std::numeric_limits<std::int64_t>::max();
            if (o.from)
                begin = FromLocalTime(o.from->year, o.from->month, o.from->day, 0, 0, 0)
                            .value_or(begin);
            if (o.to)
                end = FromLocalTime(o.to->year, o.to->month, o.to->day + 1, 0, 0, 0).value_or(end);
            if (o.from && o.to) {
                selected.description = DateText(*o.from) + " 至 " + DateText(*o.to);
            } else {
                selected.description = o.from ? DateText(*o.from) + " 起" : "至 " + DateText(*o.to);
            }
            selected.period = Period{begin, end};
            for (const SessionRecord& r : records) {
                if (r.start >= begin && r.start < end) selected.records.push_back(r);
            }
            return selected;
        }
        case Selection::kCurrentMonth:
        case Selection::kMonth:
        case Selection::kSummary:  // printed by month instead; Run never selects it
            break;
    }
    const int startDay = o.startDay.value_or(kDefaultStartDay);
    YearMonth month = o.month;
    if (o.selection == Selection::kCurrentMonth) {
        const auto tm = ToLocalTime(now);
        month =
            tm ? AccountingMonthLabel(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, startDay)
               : YearMonth{1970, 1};
    }
    const Period period = AccountingPeriod(month, startDay);
    selected.period = period;
    selected.accountingMonth = true;
    selected.description = Printf("计费月 %d年%d月 (%s 至 %s)", month.year, month.month,
                                  DateText(period.begin).c_str(), DateText(period.end).c_str());
    const MonthWindow window = FindMonthWindow(records, period);
    if (window.Empty()) return selected;
    for (int i = window.first; i <= window.last; ++i) {
        const SessionRecord& r = records[static_cast<std::size_t>(i)];
        if (IsListable(r)) selected.records.push_back(r);
    }
    return selected;
}

Summary Summarize(std::span<const SessionRecord> records) {
    Summary s;
    for (const SessionRecord& r : records) {
        if (r.end > r.start) {
            ++s.sessions;
            s.online += r.duration;
            s.billed += r.billed;
        } else {
            ++s.openSessions;
        }
        s.received += r.bytesReceived;
        s.sent += r.bytesSent;
    }
    return s;
}

AllowanceUse UseOf(const Summary& summary, std::int64_t allowance) {
    AllowanceUse use;
    if (allowance <= 0) return use;
    const auto limit = static_cast<std::uint64_t>(allowance);
    const std::uint64_t bytes = Bytes(summary);
    // In two parts, so that no sum of bytes overflows when multiplied.
    use.tenthsOfPercent =
        static_cast<std::int64_t>(bytes / limit * 1000 + bytes % limit * 1000 / limit);
    use.exceeded = bytes >= limit;
    return use;
}

std::string FormatText(const Selected& selected, const GbkDecoder& decodeName,
                       const Origin& origin) {
    std::string out = OriginLine(origin) + selected.description + "\n";
    const auto row = [](std::string start, std::string end, std::string duration,
                        std::string minutes, std::string received, std::string sent,
                        std::string address, std::string type, std::string name) {
        return PadRight(std::move(start), 21) + PadRight(std::move(end), 21) +
               PadLeft(duration, 10) + PadLeft(minutes, 10) + PadLeft(received, 12) +
               PadLeft(sent, 12) + "  " + PadRight(std::move(address), 17) +
               PadRight(std::move(type), 12) + name + "\n";
    };
    if (selected.records.empty()) {
        out += "没有上网记录\n";
    } else {
        out += row("开始时间", "结束时间", "上网用时", "上网分钟", "接受字节", "发送字节",
                   "客户机IP", "类型", "名称");
        for (const SessionRecord& r : selected.records) {
            const bool finished = r.end > r.start;
            out +=
                row(LocalText(r.start), finished ? LocalText(r.end) : "(未结束)",
                    finished ? DurationText(r.duration) : "",
                    finished ? std::to_string(r.billed / 60) : "", std::to_string(r.bytesReceived),
                    std::to_string(r.bytesSent), std::string(r.ClientIp()),
                    WideToUtf8(ConnectionTypeName(r.type)), Name(r, decodeName));
        }
    }
    const Summary s = Summarize(selected.records);
    out += Printf("共 %d 次上网，上网用时 %s，计费 %lld 分钟，接受 %llu 字节，发送 %llu 字节\n",
                  s.sessions, DurationText(s.online).c_str(), static_cast<long long>(s.billed / 60),
                  static_cast<unsigned long long>(s.received),
                  static_cast<unsigned long long>(s.sent));
    if (s.openSessions > 0) out += Printf("另有 %d 次上网未结束，不计在内\n", s.openSessions);
    return out;
}

std::vector<MonthSummary> SummarizeByMonth(std::span<const SessionRecord> records, int startDay) {
    // A month's window opens at a record that starts in its period (or just
    // after a short one), so only those months, and the one before each, can
    // list anything. Each is then selected as --month selects it.
    std::set<std::pair<int, int>> candidates;
    for (const SessionRecord& r : records) {
        const auto tm = ToLocalTime(static_cast<std::int64_t>(r.start) - 1);
        if (!tm) continue;
        const YearMonth m =
            AccountingMonthLabel(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, startDay);
        candidates.insert({m.year, m.month});
        candidates.insert(m.month == 1 ? std::pair{m.year - 1, 12} : std::pair{m.year, m.month - 1});
    }
    FileContents contents;
    contents.records.assign(records.begin(), records.end());
    Options options;
    options.selection = Selection::kMonth;
    options.startDay = startDay;
    std::vector<MonthSummary> months;
    for (const auto& [year, month] : candidates) {
        options.month = {year, month};
        const Selected selected = Select(contents, options, 0);
        if (!selected.records.empty()) months.push_back({options.month, Summarize(selected.records)});
    }
    return months;
}

std::string FormatMonthsText(std::span<const MonthSummary> months, const Origin& origin) {
    const std::int64_t allowance = origin.allowance;
    std::string out = OriginLine(origin) + "每个计费月的合计";
    if (allowance > 0) {
        out += "，流量限额 " + AllowanceText(allowance) + " (" + Name(origin.allowanceSource).text +
               ")";
    }
    out += "\n" + PadRight("计费月", 11) + PadLeft("次数", 6) + PadLeft("上网用时", 12) +
           PadLeft("计费分钟", 10) + PadLeft("接受字节", 14) + PadLeft("发送字节", 14);
    if (allowance > 0) out += PadLeft("流量/限额", 20) + PadLeft("已用", 9);
    out += "\n";
    for (const MonthSummary& m : months) {
        const Summary& s = m.summary;
        out += PadRight(Printf("%04d-%02d", m.month.year, m.month.month), 11) +
               PadLeft(std::to_string(s.sessions), 6) + PadLeft(DurationText(s.online), 12) +
               PadLeft(std::to_string(s.billed / 60), 10) +
               PadLeft(std::to_string(s.received), 14) + PadLeft(std::to_string(s.sent), 14);
        if (allowance > 0) {
            const AllowanceUse use = UseOf(s, allowance);
            const auto bytes = static_cast<std::int64_t>(Bytes(s));
            out +=
                PadLeft(WideToUtf8(FormatDataAmount(bytes)) + "/" + AllowanceText(allowance), 20) +
                PadLeft(PercentText(use.tenthsOfPercent) + "%", 9);
            if (use.exceeded) out += "  超出限额";
        }
        out += "\n";
    }
    return out;
}

std::string FormatMonthsCsv(std::span<const MonthSummary> months, std::int64_t allowance) {
    std::string out = "计费月,上网次数,未结束,上网秒数,上网用时,上网分钟,接受字节,发送字节";
    out += allowance > 0 ? ",流量限额字节,已用限额百分比,超出限额\r\n" : "\r\n";
    for (const MonthSummary& m : months) {
        const Summary& s = m.summary;
        out += Printf("%04d-%02d,%d,%d,%lld,%s,%lld,%llu,%llu", m.month.year, m.month.month,
                      s.sessions, s.openSessions, static_cast<long long>(s.online),
                      DurationText(s.online).c_str(), static_cast<long long>(s.billed / 60),
                      static_cast<unsigned long long>(s.received),
                      static_cast<unsigned long long>(s.sent));
        if (allowance > 0) {
            const AllowanceUse use = UseOf(s, allowance);
            out += "," + std::to_string(allowance) + "," + PercentText(use.tenthsOfPercent) +
                   (use.exceeded ? ",是" : ",否");
        }
        out += "\r\n";
    }
    return out;
}

std::string FormatMonthsJson(std::span<const MonthSummary> months, const Origin& origin) {
    std::string out =
        JsonHead(origin, "每个计费月的合计") + JsonAllowance(origin) + "},\n  \"months\": [";
    bool first = true;
    for (const MonthSummary& m : months) {
        const Summary& s = m.summary;
        out += first ? "\n" : ",\n";
        first = false;
        out += Printf(
            "    {\"month\": \"%04d-%02d\", \"sessions\": %d, \"open_sessions\": %d, "
            "\"online_seconds\": %lld, \"billed_minutes\": %lld, \"bytes_received\": "
            "%llu, \"bytes_sent\": %llu}",
            m.month.year, m.month.month, s.sessions, s.openSessions,
            static_cast<long long>(s.online), static_cast<long long>(s.billed / 60),
            static_cast<unsigned long long>(s.received), static_cast<unsigned long long>(s.sent));
        out.insert(out.size() - 1, JsonUse(s, origin.allowance));
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string FormatCsv(const Selected& selected, const GbkDecoder& decodeName) {
    // No byte-order mark on a stream: a pipe's reader takes UTF-8 as it is.
    return SessionCsv(selected.records, decodeName, false);
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char32_t c : DecodeUtf8(text)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += Printf("\\u%04x", static_cast<unsigned>(c));
                } else {
                    AppendUtf8(out, c);
                }
        }
    }
    out += '"';
    return out;
}

std::string FormatJson(const Selected& selected, const GbkDecoder& decodeName,
                       const Origin& origin) {
    const auto time = [](std::int64_t t) { return JsonString(IsoLocalTime(t)); };
    // A monthly allowance says nothing of a range of days or of every record.
    const std::int64_t allowance = selected.accountingMonth ? origin.allowance : 0;
    std::string out = JsonHead(origin, selected.description);
    if (allowance > 0) out += JsonAllowance(origin);
    if (selected.period && selected.period->begin != std::numeric_limits<std::int64_t>::min()) {
        out += ", \"begin\": " + time(selected.period->begin);
    }
    if (selected.period && selected.period->end != std::numeric_limits<std::int64_t>::max()) {
        out += ", \"end\": " + time(selected.period->end);
    }
    out += "},\n  \"sessions\": [";
    bool first = true;
    for (const SessionRecord& r : selected.records) {
        const bool finished = r.end > r.start;
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\"start\": " + time(r.start) + ", \"start_epoch\": " + std::to_string(r.start);
        if (finished) {
            out += ", \"end\": " + time(r.end) + ", \"end_epoch\": " + std::to_string(r.end);
            out += ", \"duration_seconds\": " + std::to_string(r.duration);
            out += ", \"duration\": " + JsonString(DurationText(r.duration));
            out += ", \"billed_minutes\": " + std::to_string(r.billed / 60);
        } else {
            out +=
                ", \"end\": null, \"end_epoch\": null, \"duration_seconds\": null"
                ", \"duration\": null, \"billed_minutes\": null";
        }
        out += ", \"type\": " + std::to_string(r.type);
        out += ", \"type_name\": " + JsonString(WideToUtf8(ConnectionTypeName(r.type)));
        out += ", \"name\": " + JsonString(Name(r, decodeName));
        out += ", \"address\": " + JsonString(r.ClientIp());
        out += ", \"bytes_received\": " + std::to_string(r.bytesReceived);
        out += ", \"bytes_sent\": " + std::to_string(r.bytesSent);
        out += ", \"continuation\": " + std::to_string(r.continuation) + "}";
    }
    out += first ? "],\n" : "\n  ],\n";
    const Summary s = Summarize(selected.records);
    out += "  \"summary\": {\"sessions\": " + std::to_string(s.sessions);
    out += ", \"open_sessions\": " + std::to_string(s.openSessions);
    out += ", \"online_seconds\": " + std::to_string(s.online);
    out += ", \"online\": " + JsonString(DurationText(s.online));
    out += ", \"billed_minutes\": " + std::to_string(s.billed / 60);
    out += ", \"bytes_received\": " + std::to_string(s.received);
    out += ", \"bytes_sent\": " + std::to_string(s.sent) + JsonUse(s, allowance) + "}\n}\n";
    return out;
}

std::vector<Candidate> RecordFileCandidates(const Options& o, Platform& platform) {
    if (o.path) return {{*o.path, FileSource::kArgument}};
    constexpr std::wstring_view kFileName = L"adsl.bs";
    std::vector<Candidate> candidates;
    const std::wstring own = platform.OwnDirectory();
    if (SettingsStore* settings = platform.ProgramSettings()) {
        // The program's own choice, with hourlink-stat's folder as the
        // program's: they are installed side by side.
        const RecordFolder folder = ChooseRecordFolder(
            *settings, own, [&] { return platform.CanWriteIn(own); },
            platform.LocalAppDataDirectory());
        const bool setting = !ReadSetting(*settings, settings::kDirectory).empty();
        candidates.push_back(
            {WideToUtf8(JoinPath(folder.directory, std::wstring(kFileName))),
             setting        ? FileSource::kSetting
             : folder.moved ? FileSource::kLocalFolder
                            : FileSource::kProgramFolder});
        if (setting) return candidates;
    } else if (!own.empty()) {
        candidates.push_back(
            {WideToUtf8(JoinPath(own, std::wstring(kFileName))), FileSource::kProgramFolder});
    }
    candidates.push_back({WideToUtf8(kFileName), FileSource::kCurrentFolder});
    return candidates;
}

Origin StartDayOrigin(const Options& o, Platform& platform) {
    Origin origin;
    if (o.startDay) {
        origin.startDay = *o.startDay;
        origin.day = DaySource::kArgument;
    } else if (SettingsStore* settings = platform.ProgramSettings()) {
        origin.startDay = ReadStartDay(*settings);
        const int stored = ReadSetting(*settings, settings::kStartDate);
        origin.day = stored == origin.startDay ? DaySource::kSetting : DaySource::kDefault;
    } else {
        origin.startDay = kDefaultStartDay;
        origin.day = DaySource::kNoSettings;
    }
    return origin;
}

void FindAllowance(const Options& o, Platform& platform, Origin& origin) {
    if (o.allowance) {
        origin.allowance = *o.allowance;
        origin.allowanceSource = AllowanceSource::kArgument;
    } else if (SettingsStore* settings = platform.ProgramSettings()) {
        origin.allowance = ReadDataAllowance(*settings);
        origin.allowanceSource = AllowanceSource::kSetting;
    }
}

namespace {

// Writes the whole output; a failed write is told, with its own exit code, so
// a script never takes a cut-off listing for the whole.
int Emit(Platform& platform, const std::string& text) {
    if (platform.Out(text) && platform.FlushOut()) return kExitOk;
    platform.Err("hourlink-stat: 无法写入标准输出，输出不完整 (磁盘已满，或读取输出的程序已退出)\n");
    return kExitOutput;
}

}  // namespace

int Run(std::span<const std::string> args, Platform& platform) {
    const ParsedOptions parsed = ParseArguments(args);
    if (!parsed.error.empty()) {
        platform.Err("hourlink-stat: " + parsed.error + "\n用 --help 查看用法\n");
        return kExitUsage;
    }
    Options o = parsed.options;
    if (o.help) return Emit(platform, HelpText());
    if (o.version) return Emit(platform, "hourlink-stat " + std::string(ProgramVersion()) + "\n");

    Origin origin = StartDayOrigin(o, platform);
    o.startDay = origin.startDay;
    FindAllowance(o, platform, origin);
    Platform::FileRead file;
    std::string tried;
    for (const Candidate& candidate : RecordFileCandidates(o, platform)) {
        file = platform.ReadFile(candidate.path);
        origin.path = candidate.path;
        origin.file = candidate.source;
        if (file.found) break;
        tried += (tried.empty() ? "" : "、") + candidate.path;
    }
    if (!file.found) {
        platform.Err("hourlink-stat: 找不到记录文件 " + tried + "\n");
        return kExitCannotRead;
    }
    if (!file.error.empty()) {
        platform.Err("hourlink-stat: 无法读取记录文件 " + origin.path + ": " + file.error + "\n");
        return kExitCannotRead;
    }
    const DecodeResult decoded = DecodeRecordFile(file.bytes);
    if (!decoded.contents) {
        platform.Err("hourlink-stat: " + origin.path + ": " + decoded.error + "\n");
        return kExitDamaged;
    }
    if (!decoded.warning.empty()) {
        platform.Err("hourlink-stat: " + origin.path + ": " + decoded.warning + "\n");
    }
    if (o.selection == Selection::kSummary) {
        const auto months = SummarizeByMonth(decoded.contents->records, origin.startDay);
        switch (o.format) {
            case Format::kText:
                return Emit(platform, FormatMonthsText(months, origin));
            case Format::kCsv:
                return Emit(platform, FormatMonthsCsv(months, origin.allowance));
            case Format::kJson:
                break;
        }
        return Emit(platform, FormatMonthsJson(months, origin));
    }
    const Selected selected = Select(*decoded.contents, o, platform.Now());
    const GbkDecoder decode = [&platform](std::string_view gbk) { return platform.GbkToUtf8(gbk); };
    switch (o.format) {
        case Format::kText:
            return Emit(platform, FormatText(selected, decode, origin));
        case Format::kCsv:
            return Emit(platform, FormatCsv(selected, decode));
        case Format::kJson:
            break;
    }
    return Emit(platform, FormatJson(selected, decode, origin));
}

}  // namespace hourlink::stat
