#include "core/history/stat_report.h"

#include <cstdio>
#include <limits>
#include <map>
#include <utility>

#include "core/base/time_format.h"
#include "core/base/utf8.h"
#include "core/history/history_list.h"

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

}  // namespace

ParsedOptions ParseArguments(std::span<const std::string> args) {
    ParsedOptions parsed;
    Options& o = parsed.options;
    bool havePath = false;
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
        if (arg == "-h" || arg == "--help" || arg == "/?") {
            o.help = true;
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
            if (havePath) return fail("只能读一个记录文件");
            o.path = arg;
            havePath = true;
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
           "  记录文件             默认为当前目录下的 adsl.bs\n"
           "  --month YYYY-MM      列出该计费月 (默认为今天所在的计费月)\n"
           "  --start-day N        计费月从每月第 N 日开始, 1-30 (默认 21，与选项中的设置相同)\n"
           "  --from YYYY-MM-DD    列出从该日起开始的上网 (本地时间)\n"
           "  --to YYYY-MM-DD      列出到该日为止开始的上网 (含该日)\n"
           "  --all                列出文件中的全部记录\n"
           "  --summary            每个计费月一行: 次数、上网用时、计费分钟与字节数\n"
           "  --format FORMAT      输出格式: text (默认)、csv 或 json\n"
           "  --csv, --json        即 --format csv、--format json\n"
           "  -h, --help           显示本说明\n"
           "\n"
           "退出码: 0 成功; 1 命令行有误; 2 找不到或无法读取文件; 3 文件太短或已损坏。\n";
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
    if (h.recordCount > complete) {
        result.error =
            Printf("记录文件已损坏: 文件头记载有 %u 条记录，但文件中只有 %zu 条完整的记录",
                   h.recordCount, complete);
        return result;
    }
    contents.records.reserve(h.recordCount);
    for (std::uint32_t i = 0; i < h.recordCount; ++i) {
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
    YearMonth month = o.month;
    if (o.selection == Selection::kCurrentMonth) {
        const auto tm = ToLocalTime(now);
        month =
            tm ? AccountingMonthLabel(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, o.startDay)
               : YearMonth{1970, 1};
    }
    const Period period = AccountingPeriod(month, o.startDay);
    selected.period = period;
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

std::string FormatText(const Selected& selected, const GbkDecoder& decodeName,
                       std::string_view path) {
    std::string out = "记录文件 " + std::string(path) + "，" + selected.description + "\n";
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
    std::map<std::pair<int, int>, std::vector<SessionRecord>> byMonth;
    for (const SessionRecord& r : records) {
        if (!IsListable(r)) continue;
        const auto tm = ToLocalTime(r.start);
        if (!tm) continue;
        const YearMonth m =
            AccountingMonthLabel(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, startDay);
        byMonth[{m.year, m.month}].push_back(r);
    }
    std::vector<MonthSummary> months;
    for (const auto& [key, list] : byMonth) {
        months.push_back({{key.first, key.second}, Summarize(list)});
    }
    return months;
}

std::string FormatMonthsText(std::span<const MonthSummary> months, int startDay) {
    std::string out = Printf("每个计费月的合计 (计费月从每月 %d 日开始)\n", startDay);
    out += PadRight("计费月", 11) + PadLeft("次数", 6) + PadLeft("上网用时", 12) +
           PadLeft("计费分钟", 10) + PadLeft("接受字节", 14) + PadLeft("发送字节", 14) + "\n";
    for (const MonthSummary& m : months) {
        const Summary& s = m.summary;
        out += PadRight(Printf("%04d-%02d", m.month.year, m.month.month), 11) +
               PadLeft(std::to_string(s.sessions), 6) + PadLeft(DurationText(s.online), 12) +
               PadLeft(std::to_string(s.billed / 60), 10) +
               PadLeft(std::to_string(s.received), 14) + PadLeft(std::to_string(s.sent), 14) + "\n";
    }
    return out;
}

std::string FormatMonthsCsv(std::span<const MonthSummary> months) {
    std::string out = "计费月,上网次数,未结束,上网秒数,上网用时,上网分钟,接受字节,发送字节\r\n";
    for (const MonthSummary& m : months) {
        const Summary& s = m.summary;
        out += Printf("%04d-%02d,%d,%d,%lld,%s,%lld,%llu,%llu\r\n", m.month.year, m.month.month,
                      s.sessions, s.openSessions, static_cast<long long>(s.online),
                      DurationText(s.online).c_str(), static_cast<long long>(s.billed / 60),
                      static_cast<unsigned long long>(s.received),
                      static_cast<unsigned long long>(s.sent));
    }
    return out;
}

std::string FormatMonthsJson(std::span<const MonthSummary> months, int startDay) {
    std::string out = "{\n  \"start_day\": " + std::to_string(startDay) + ",\n  \"months\": [";
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
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
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
                    out += Printf("\\u%04x", c);
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

std::string FormatJson(const Selected& selected, const GbkDecoder& decodeName,
                       std::string_view path, int startDay) {
    const auto time = [](std::int64_t t) { return JsonString(IsoLocalTime(t)); };
    std::string out = "{\n  \"file\": " + JsonString(path) + ",\n";
    out += "  \"selection\": {\"description\": " + JsonString(selected.description);
    out += ", \"start_day\": " + std::to_string(startDay);
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
    out += ", \"bytes_sent\": " + std::to_string(s.sent) + "}\n}\n";
    return out;
}

int Run(std::span<const std::string> args, Platform& platform) {
    const ParsedOptions parsed = ParseArguments(args);
    if (!parsed.error.empty()) {
        platform.Err("hourlink-stat: " + parsed.error + "\n用 --help 查看用法\n");
        return kExitUsage;
    }
    const Options& o = parsed.options;
    if (o.help) {
        platform.Out(HelpText());
        return kExitOk;
    }
    const Platform::FileRead file = platform.ReadFile(o.path);
    if (!file.found) {
        platform.Err("hourlink-stat: 找不到记录文件 " + o.path + "\n");
        return kExitCannotRead;
    }
    if (!file.error.empty()) {
        platform.Err("hourlink-stat: 无法读取记录文件 " + o.path + ": " + file.error + "\n");
        return kExitCannotRead;
    }
    const DecodeResult decoded = DecodeRecordFile(file.bytes);
    if (!decoded.contents) {
        platform.Err("hourlink-stat: " + o.path + ": " + decoded.error + "\n");
        return kExitDamaged;
    }
    if (o.selection == Selection::kSummary) {
        const auto months = SummarizeByMonth(decoded.contents->records, o.startDay);
        switch (o.format) {
            case Format::kText:
                platform.Out(FormatMonthsText(months, o.startDay));
                break;
            case Format::kCsv:
                platform.Out(FormatMonthsCsv(months));
                break;
            case Format::kJson:
                platform.Out(FormatMonthsJson(months, o.startDay));
                break;
        }
        return kExitOk;
    }
    const Selected selected = Select(*decoded.contents, o, platform.Now());
    const GbkDecoder decode = [&platform](std::string_view gbk) { return platform.GbkToUtf8(gbk); };
    switch (o.format) {
        case Format::kText:
            platform.Out(FormatText(selected, decode, o.path));
            break;
        case Format::kCsv:
            platform.Out(FormatCsv(selected, decode));
            break;
        case Format::kJson:
            platform.Out(FormatJson(selected, decode, o.path, o.startDay));
            break;
    }
    return kExitOk;
}

}  // namespace hourlink::stat
